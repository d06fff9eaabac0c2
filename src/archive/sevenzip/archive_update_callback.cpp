#include "archive/sevenzip/archive_update_callback.h"

#include "archive/sevenzip/stream_wrappers.h"
#include "platform/file_system.h"

namespace kelvane::SevenZip::intl {
namespace {

FILETIME FileTimeOf(uint64_t ticks) {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

}  // namespace

ArchiveUpdateCallbackEx::ArchiveUpdateCallbackEx(const SevenZipModule& module,
                                                 const std::vector<FilePathInfoEx>& files,
                                                 SevenZipUIUpdate* record)
    : module_(module),
      password_(record ? &record->password : nullptr),
      files_(files),
      record_(record) {}

HRESULT ArchiveUpdateCallbackEx::QueryInterface(const GUID& iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IArchiveUpdateCallback) {
    *out = static_cast<IArchiveUpdateCallback*>(this);
  } else if (iid == IID_ICryptoGetTextPassword2) {
    *out = static_cast<ICryptoGetTextPassword2*>(this);
  } else if (iid == IID_ICompressProgressInfo) {
    *out = static_cast<ICompressProgressInfo*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

uint32_t ArchiveUpdateCallbackEx::Release() {
  const uint32_t left = refs_.Down();
  if (left == 0) delete this;
  return left;
}

HRESULT ArchiveUpdateCallbackEx::SetTotal(uint64_t) { return Stopped() ? E_ABORT : S_OK; }

HRESULT ArchiveUpdateCallbackEx::SetCompleted(const uint64_t*) {
  return Stopped() ? E_ABORT : S_OK;
}

HRESULT ArchiveUpdateCallbackEx::SetOperationResult(int32_t) { return S_OK; }

HRESULT ArchiveUpdateCallbackEx::SetRatioInfo(const uint64_t*, const uint64_t*) {
  return Stopped() ? E_ABORT : S_OK;
}

HRESULT ArchiveUpdateCallbackEx::GetUpdateItemInfo(uint32_t, int32_t* newData,
                                                   int32_t* newProperties,
                                                   uint32_t* indexInArchive) {
  if (newData) *newData = 1;
  if (newProperties) *newProperties = 1;
  if (indexInArchive) *indexInArchive = 0xFFFFFFFF;
  return S_OK;
}

HRESULT ArchiveUpdateCallbackEx::GetProperty(uint32_t index, PROPID propId, PROPVARIANT* value) {
  PROPVARIANT answer{};
  answer.vt = VT_EMPTY;
  if (propId == kpidIsAnti) {
    answer.vt = VT_BOOL;
    answer.boolVal = VARIANT_FALSE;
  } else {
    if (index >= files_.size()) return E_INVALIDARG;
    const FilePathInfoEx& file = files_[index];
    switch (propId) {
      case kpidPath:
        answer.vt = VT_BSTR;
        answer.bstrVal = module_.AllocString(ToLibraryText(file.StoredName()));
        if (!answer.bstrVal) return E_OUTOFMEMORY;
        break;
      case kpidIsDir:
        answer.vt = VT_BOOL;
        answer.boolVal = file.isDirectory ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case kpidSize:
        answer.vt = VT_UI8;
        answer.uhVal = file.size;
        break;
      case kpidAttrib:
        answer.vt = VT_UI4;
        // Never the set-user-ID, set-group-ID or sticky bit of the Unix mode
        // in the high half: an archive must not hand out someone's rights.
        answer.ulVal = file.attributes & ~(07000u << 16);
        break;
      case kpidMTime:
        answer.vt = VT_FILETIME;
        answer.filetime = FileTimeOf(file.lastWriteTime);
        break;
      default: break;
    }
  }
  module_.ClearVariant(value);
  *value = answer;
  return S_OK;
}

HRESULT ArchiveUpdateCallbackEx::GetStream(uint32_t index, ISequentialInStream** inStream) {
  *inStream = nullptr;
  if (index >= files_.size()) return E_INVALIDARG;
  if (Stopped()) return E_ABORT;
  const FilePathInfoEx& file = files_[index];
  if (file.isDirectory) return S_OK;
  if (record_) {
    ++record_->processedFiles;
    record_->processedBytes += pendingSize_.exchange(file.size);
  }
  std::unique_ptr<platform::FileStream> stream;
  const int error =
      record_ && record_->openFile
          ? record_->openFile(index, &stream)
          : platform::Fs()
                .OpenStream(file.FullPath(), platform::FileStream::kReadExisting, &stream)
                .code();
  if (error != 0) {
    // A file that vanished since the scan is left out; the rest still goes in.
    if (record_ && record_->fileFailed) record_->fileFailed(index, file.FullPath(), error);
    return S_FALSE;
  }
  std::function<void(int)> failed;
  if (record_ && record_->fileFailed) {
    failed = [this, index](int readError) {
      record_->fileFailed(index, files_[index].FullPath(), readError);
    };
  }
  InStreamWrapper::ReadCallback read;
  if (record_ && record_->fileRead) {
    read = [this, index](const platform::ContentDigest& digest,
                         const platform::FileStatus& status) {
      record_->fileRead(index, digest, status);
    };
  }
  auto* wrapper = new InStreamWrapper(std::move(stream),
                                      record_ ? &record_->stopRequested : nullptr, failed, read);
  wrapper->AddRef();
  *inStream = wrapper;
  return S_OK;
}

HRESULT ArchiveUpdateCallbackEx::CryptoGetTextPassword2(int32_t* passwordIsDefined,
                                                        BSTR* password) {
  const std::wstring text = password_ ? ToLibraryText(*password_) : std::wstring();
  if (passwordIsDefined)
    *passwordIsDefined = static_cast<int32_t>(password_ ? password_->size() : 0);
  if (password) {
    *password = module_.AllocString(text);
    if (!*password) return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace kelvane::SevenZip::intl
