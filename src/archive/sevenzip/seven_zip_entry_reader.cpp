#include "archive/sevenzip/seven_zip_entry_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <exception>

#include "archive/sevenzip/com_object.h"
#include "archive/sevenzip/seven_zip_module.h"
#include "archive/sevenzip/stream_wrappers.h"
#include "platform/file_attributes.h"
#include "platform/text_codec.h"
#include "util/format_text.h"

namespace kelvane::SevenZip {
namespace {

// Windows attribute bits: the high 16 hold a Unix mode where this is set.
constexpr uint32_t kAttributeUnixExtension = 0x8000;
constexpr uint32_t kAttributeDirectory = 0x10;

// The library's text form back to the system's bytes: pairs joined, and the
// U+EF00 + byte of a name that was not UTF-8 made the byte again.
std::string NativeFromLibrary(const wchar_t* text) {
  std::u16string units;
  for (; text && *text; ++text) units.push_back(static_cast<char16_t>(*text));
  std::wstring wide = platform::FromUtf16(units);
  for (wchar_t& c : wide) {
    if (c >= 0xEF80 && c <= 0xEFFF) c = static_cast<wchar_t>(0xDC00 + (c - 0xEF00));
  }
  return platform::ToNative(wide);
}

std::wstring ResultText(int32_t result) {
  switch (result) {
    case 1: return L"packed with a method this library does not know";
    case 2: return L"damaged data";
    case 3: return L"CRC error";
    case 4: return L"data not available";
    case 5: return L"cut off";
    case 6: return L"data after its end";
    case 7: return L"not an archive";
    case 8: return L"damaged headers";
    case 9: return L"wrong password";
    default: return FormatText(L"error %ld", static_cast<long>(result));
  }
}

std::wstring HresultText(const wchar_t* step, HRESULT result) {
  return FormatText(L"%s: HRESULT = 0x%08X", step, static_cast<uint32_t>(result));
}

// An entry's bytes on their way to its sink. A sink that cannot take them
// fails its entry only: the library reads on to the next.
class SinkStream final : public ISequentialOutStream {
 public:
  explicit SinkStream(EntrySink& sink) : sink_(sink) {}
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_ISequentialOutStream) {
      *out = static_cast<ISequentialOutStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return refs_.Up(); }
  uint32_t Release() override {
    const uint32_t left = refs_.Down();
    if (left == 0) delete this;
    return left;
  }
  HRESULT Write(const void* data, uint32_t size, uint32_t* processedSize) override {
    if (!failed_ && sink_.Write(static_cast<const uint8_t*>(data), size) != 0) failed_ = true;
    if (processedSize) *processedSize = size;
    return S_OK;
  }
  bool failed() const { return failed_; }

 private:
  RefCount refs_;
  EntrySink& sink_;
  bool failed_ = false;
};

// Answers the library's questions while it opens and reads the archive: the
// password, whether to stop, and where each entry's bytes go.
class ReadCallback final : public IArchiveOpenCallback,
                           public IArchiveExtractCallback,
                           public ICryptoGetTextPassword {
 public:
  ReadCallback(const SevenZipModule& module, const std::wstring& password,
               const std::atomic<bool>* stop)
      : module_(module), password_(password), stop_(stop) {}

  void Reading(const std::vector<ArchiveEntry>* entries, const EntryReading* reading) {
    entries_ = entries;
    reading_ = reading;
  }

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IArchiveExtractCallback) {
      *out = static_cast<IArchiveExtractCallback*>(this);
    } else if (iid == IID_IArchiveOpenCallback) {
      *out = static_cast<IArchiveOpenCallback*>(this);
    } else if (iid == IID_ICryptoGetTextPassword) {
      *out = static_cast<ICryptoGetTextPassword*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return refs_.Up(); }
  uint32_t Release() override {
    const uint32_t left = refs_.Down();
    if (left == 0) delete this;
    return left;
  }

  // Opening.
  HRESULT SetTotal(const uint64_t*, const uint64_t*) override { return Go(); }
  HRESULT SetCompleted(const uint64_t*, const uint64_t*) override { return Go(); }
  // Reading.
  HRESULT SetTotal(uint64_t) override { return Go(); }
  HRESULT SetCompleted(const uint64_t*) override { return Go(); }
  HRESULT GetStream(uint32_t index, ISequentialOutStream** outStream, int32_t) override {
    *outStream = nullptr;
    Close();
    if (entries_ && reading_ && index < entries_->size()) {
      sink_ = reading_->sinkFor((*entries_)[index]);
      if (sink_) {
        stream_ = new SinkStream(*sink_);
        stream_->AddRef();
        stream_->AddRef();  // one for the library
        *outStream = stream_;
      }
    }
    return Go();
  }
  HRESULT PrepareOperation(int32_t) override { return Go(); }
  HRESULT SetOperationResult(int32_t result) override {
    if (sink_) {
      sink_->Done(result != 0                    ? ResultText(result)
                  : stream_ && stream_->failed() ? std::wstring(L"cannot be written")
                                                 : std::wstring());
    }
    Close();
    return Go();
  }
  HRESULT CryptoGetTextPassword(BSTR* password) override {
    *password = module_.AllocString(ToLibraryText(password_));
    return *password ? S_OK : E_OUTOFMEMORY;
  }

  // The entry under way ends without a verdict (the reading stopped).
  void Close() {
    if (stream_) stream_->Release();
    stream_ = nullptr;
    sink_.reset();
  }

 private:
  HRESULT Go() const { return stop_ && stop_->load() ? E_ABORT : S_OK; }

  RefCount refs_;
  const SevenZipModule& module_;
  const std::wstring& password_;
  const std::atomic<bool>* stop_;
  const std::vector<ArchiveEntry>* entries_ = nullptr;
  const EntryReading* reading_ = nullptr;
  std::unique_ptr<EntrySink> sink_;
  SinkStream* stream_ = nullptr;
};

}  // namespace

struct SevenZipEntryReader::Open7z {
  SevenZipModule module;
  ComPtr<IInArchive> reader;
  ComPtr<IArchiveExtractCallback> callback;
  ReadCallback* callbackObject = nullptr;
  const std::atomic<bool>* stop = nullptr;

  ~Open7z() {
    if (reader.get()) reader->Close();
  }
};

SevenZipEntryReader::SevenZipEntryReader(std::wstring libraryPath, std::wstring password)
    : libraryPath_(std::move(libraryPath)), password_(std::move(password)) {}

SevenZipEntryReader::~SevenZipEntryReader() = default;

platform::Status SevenZipEntryReader::Open(std::unique_ptr<platform::FileStream> archive,
                                           const std::atomic<bool>* stop) {
  try {
    auto open = std::make_unique<Open7z>();
    open->stop = stop;
    open->module.Load(libraryPath_);
    ComPtr<IInArchive> reader;
    open->module.CreateObject(CLSID_7zFormat, IID_IInArchive, reader.Out());
    auto* streamObject = new intl::InStreamWrapper(std::move(archive), stop);
    streamObject->AddRef();
    ComPtr<IInStream> stream(streamObject);
    open->callbackObject = new ReadCallback(open->module, password_, stop);
    open->callbackObject->AddRef();
    open->callback = ComPtr<IArchiveExtractCallback>(open->callbackObject);
    const uint64_t startOnly = 0;  // the archive starts at its first byte
    if (const HRESULT opened = reader->Open(
            stream.get(), &startOnly, static_cast<IArchiveOpenCallback*>(open->callbackObject));
        opened != S_OK) {
      return opened == S_FALSE ? platform::Status::Error(EINVAL, L"not a readable 7z archive")
                               : platform::Status::Error(EIO, HresultText(L"Open archive", opened));
    }
    open->reader = std::move(reader);
    uint32_t count = 0;
    if (const HRESULT counted = open->reader->GetNumberOfItems(&count); counted != S_OK) {
      return platform::Status::Error(EIO, HresultText(L"Count entries", counted));
    }
    entries_.clear();
    entries_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      ArchiveEntry entry;
      auto property = [&](PROPID id, auto&& take) {
        PROPVARIANT value{};
        open->reader->GetProperty(i, id, &value);
        take(value);
        open->module.ClearVariant(&value);
      };
      property(kpidPath, [&](const PROPVARIANT& v) {
        if (v.vt == VT_BSTR) entry.name = NativeFromLibrary(v.bstrVal);
      });
      property(kpidSize, [&](const PROPVARIANT& v) {
        if (v.vt == VT_UI8) entry.size = v.uhVal;
      });
      property(kpidMTime, [&](const PROPVARIANT& v) {
        if (v.vt != VT_FILETIME) return;
        const uint64_t ticks =
            (static_cast<uint64_t>(v.filetime.dwHighDateTime) << 32) | v.filetime.dwLowDateTime;
        entry.modifiedSeconds = platform::UnixSecondsFromFileTime(ticks);
      });
      bool folder = false;
      property(kpidIsDir, [&](const PROPVARIANT& v) {
        folder = v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
      });
      property(kpidAttrib, [&](const PROPVARIANT& v) {
        if (v.vt != VT_UI4) return;
        if (v.ulVal & kAttributeUnixExtension) entry.mode = v.ulVal >> 16;
        if (v.ulVal & kAttributeDirectory) folder = true;
      });
      if (folder) {
        entry.type = EntryType::kFolder;
        if (entry.name.empty() || entry.name.back() != '/') entry.name += '/';
      } else if (S_ISLNK(entry.mode)) {
        entry.type = EntryType::kLink;
      }
      entries_.push_back(std::move(entry));
    }
    open_ = std::move(open);
    return {};
  } catch (const SevenZipException& e) {
    return platform::Status::Error(EIO, e.message());
  } catch (const std::exception& e) {
    return platform::Status::Error(EIO, platform::FromNative(e.what()));
  }
}

platform::Status SevenZipEntryReader::ReadAll(const EntryReading& reading) {
  if (!open_) return platform::Status::Error(EINVAL, L"not open");
  try {
    open_->callbackObject->Reading(&entries_, &reading);
    const HRESULT read = open_->reader->Extract(nullptr, UINT32_MAX, 0, open_->callback.get());
    open_->callbackObject->Close();
    open_->callbackObject->Reading(nullptr, nullptr);
    if (read != S_OK && !(reading.stop && reading.stop->load())) {
      return platform::Status::Error(EIO, HresultText(L"Read archive", read));
    }
    return {};
  } catch (const SevenZipException& e) {
    return platform::Status::Error(EIO, e.message());
  } catch (const std::exception& e) {
    return platform::Status::Error(EIO, platform::FromNative(e.what()));
  }
}

}  // namespace kelvane::SevenZip
