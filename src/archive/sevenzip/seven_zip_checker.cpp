#include "archive/sevenzip/seven_zip_checker.h"

#include <exception>
#include <vector>

#include "archive/sevenzip/com_object.h"
#include "archive/sevenzip/seven_zip_module.h"
#include "archive/sevenzip/stream_wrappers.h"
#include "platform/text_codec.h"
#include "util/format_text.h"

namespace kelvane::SevenZip {
namespace {

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

// Answers the library's questions while it opens and tests the archive:
// the password, and whether to stop.
class CheckCallback final : public IArchiveOpenCallback,
                            public IArchiveExtractCallback,
                            public ICryptoGetTextPassword {
 public:
  CheckCallback(const SevenZipModule& module, const std::wstring& password,
                const std::vector<std::string>& names, const SevenZipCheck& check)
      : module_(module), password_(password), names_(names), check_(check) {}

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
  // Testing.
  HRESULT SetTotal(uint64_t) override { return Go(); }
  HRESULT SetCompleted(const uint64_t*) override { return Go(); }
  HRESULT GetStream(uint32_t index, ISequentialOutStream** outStream, int32_t) override {
    // Test mode: the library decodes and checks, nothing is written.
    *outStream = nullptr;
    current_ = index;
    return Go();
  }
  HRESULT PrepareOperation(int32_t) override { return Go(); }
  HRESULT SetOperationResult(int32_t result) override {
    if (current_ < names_.size()) {
      if (result == 0) {
        if (check_.entryGood) check_.entryGood(names_[current_]);
      } else if (check_.entryBad) {
        check_.entryBad(names_[current_], ResultText(result));
      }
    }
    current_ = UINT32_MAX;
    return Go();
  }
  HRESULT CryptoGetTextPassword(BSTR* password) override {
    *password = module_.AllocString(ToLibraryText(password_));
    return *password ? S_OK : E_OUTOFMEMORY;
  }

 private:
  HRESULT Go() const { return check_.stop && check_.stop->load() ? E_ABORT : S_OK; }

  RefCount refs_;
  const SevenZipModule& module_;
  const std::wstring& password_;
  const std::vector<std::string>& names_;
  const SevenZipCheck& check_;
  uint32_t current_ = UINT32_MAX;
};

std::wstring HresultText(const wchar_t* step, HRESULT result) {
  return FormatText(L"%s: HRESULT = 0x%08X", step, static_cast<uint32_t>(result));
}

}  // namespace

std::wstring CheckWithSevenZip(const std::wstring& libraryPath,
                               std::unique_ptr<platform::FileStream> archive,
                               const std::wstring& password, const SevenZipCheck& check) {
  try {
    SevenZipModule module;
    module.Load(libraryPath);
    ComPtr<IInArchive> reader;
    module.CreateObject(CLSID_7zFormat, IID_IInArchive, reader.Out());
    auto* streamObject = new intl::InStreamWrapper(std::move(archive), check.stop);
    streamObject->AddRef();
    ComPtr<IInStream> stream(streamObject);
    std::vector<std::string> names;
    auto* callbackObject = new CheckCallback(module, password, names, check);
    callbackObject->AddRef();
    ComPtr<IArchiveExtractCallback> callback(callbackObject);

    const uint64_t startOnly = 0;  // the archive starts at its first byte
    if (const HRESULT opened = reader->Open(stream.get(), &startOnly,
                                            static_cast<IArchiveOpenCallback*>(callbackObject));
        opened != S_OK) {
      return opened == S_FALSE ? std::wstring(L"not a readable 7z archive")
                               : HresultText(L"Open archive", opened);
    }
    uint32_t count = 0;
    if (const HRESULT counted = reader->GetNumberOfItems(&count); counted != S_OK) {
      reader->Close();
      return HresultText(L"Count entries", counted);
    }
    names.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      PROPVARIANT value{};
      reader->GetProperty(i, kpidPath, &value);
      names.push_back(value.vt == VT_BSTR ? NativeFromLibrary(value.bstrVal) : std::string());
      module.ClearVariant(&value);
    }
    const HRESULT tested = reader->Extract(nullptr, UINT32_MAX, 1, callback.get());
    reader->Close();
    if (tested != S_OK && !(check.stop && check.stop->load())) {
      return HresultText(L"Test archive", tested);
    }
    return L"";
  } catch (const SevenZipException& e) {
    return e.message();
  } catch (const std::exception& e) {
    return platform::FromNative(e.what());
  }
}

}  // namespace kelvane::SevenZip
