#include "archive/sevenzip/stream_wrappers.h"

#include "platform/system_error.h"

namespace kelvane::SevenZip::intl {
namespace {

platform::FileStream::Origin OriginOf(uint32_t origin) {
  return origin == 1   ? platform::FileStream::kFromCurrent
         : origin == 2 ? platform::FileStream::kFromEnd
                       : platform::FileStream::kFromStart;
}

HRESULT SeekStream(platform::FileStream& stream, int64_t offset, uint32_t origin,
                   uint64_t* newPosition) {
  if (origin > 2) return E_INVALIDARG;
  uint64_t position = 0;
  if (const int error = stream.Seek(offset, OriginOf(origin), &position); error != 0) {
    return HresultFromErrno(error);
  }
  if (newPosition) *newPosition = position;
  return S_OK;
}

}  // namespace

InStreamWrapper::InStreamWrapper(std::unique_ptr<platform::FileStream> stream,
                                 const std::atomic<bool>* stop,
                                 std::function<void(int error)> failed, ReadCallback read)
    : stream_(std::move(stream)), stop_(stop), failed_(std::move(failed)), read_(std::move(read)) {
  knowsBefore_ = stream_->Status(&before_) == 0;
}

HRESULT InStreamWrapper::QueryInterface(const GUID& iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_ISequentialInStream || iid == IID_IInStream) {
    *out = static_cast<IInStream*>(this);
  } else if (iid == IID_IStreamGetSize) {
    *out = static_cast<IStreamGetSize*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

uint32_t InStreamWrapper::Release() {
  const uint32_t left = refs_.Down();
  if (left == 0) delete this;
  return left;
}

HRESULT InStreamWrapper::Read(void* data, uint32_t size, uint32_t* processedSize) {
  if (processedSize) *processedSize = 0;
  // The finest place to stop a large file: the library returns from
  // UpdateItems promptly after an E_ABORT here.
  if (stop_ && *stop_) return E_ABORT;
  if (broken_) return S_OK;
  size_t got = 0;
  if (const int error = stream_->Read(data, size, &got); error != 0) {
    if (!failed_) return HresultFromErrno(error);
    // One file lost, not the archive: its item ends here, the file is
    // reported as failed.
    broken_ = true;
    failed_(error);
    return S_OK;
  }
  if (inOrder_) hash_.Add(data, got);
  position_ += got;
  if (got == 0 && !ended_ && failed_ && knowsBefore_) {
    ended_ = true;
    platform::FileStatus after;
    if (stream_->Status(&after) == 0 && !before_.SameVersion(after)) {
      failed_(platform::kErrorChangedWhileRead);
    } else if (read_ && inOrder_) {
      read_(hash_.Finish(), before_);
    }
  }
  if (processedSize) *processedSize = static_cast<uint32_t>(got);
  return S_OK;
}

HRESULT InStreamWrapper::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) {
  uint64_t position = 0;
  const HRESULT sought = SeekStream(*stream_, offset, origin, &position);
  if (sought == S_OK && position != position_) {
    // Back to the start begins the digest afresh; anywhere else ends it.
    inOrder_ = position == 0;
    hash_.Reset();
    position_ = position;
  }
  if (newPosition) *newPosition = position;
  return sought;
}

HRESULT InStreamWrapper::GetSize(uint64_t* size) {
  platform::FileStatus status;
  if (const int error = stream_->Status(&status); error != 0) return HresultFromErrno(error);
  *size = status.size;
  return S_OK;
}

OutStreamWrapper::OutStreamWrapper(std::unique_ptr<platform::FileStream> stream)
    : stream_(std::move(stream)) {}

HRESULT OutStreamWrapper::QueryInterface(const GUID& iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_ISequentialOutStream || iid == IID_IOutStream) {
    *out = static_cast<IOutStream*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t OutStreamWrapper::Release() {
  const uint32_t left = refs_.Down();
  if (left == 0) delete this;
  return left;
}

HRESULT OutStreamWrapper::Write(const void* data, uint32_t size, uint32_t* processedSize) {
  if (processedSize) *processedSize = 0;
  if (const int error = stream_->Write(data, size); error != 0) return HresultFromErrno(error);
  if (processedSize) *processedSize = size;
  return S_OK;
}

HRESULT OutStreamWrapper::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) {
  return SeekStream(*stream_, offset, origin, newPosition);
}

HRESULT OutStreamWrapper::SetSize(uint64_t newSize) {
  const int error = stream_->SetSize(newSize);
  return error == 0 ? S_OK : HresultFromErrno(error);
}

int OutStreamWrapper::Finish() {
  int error = stream_->Sync();
  const int closed = stream_->Close();
  return error != 0 ? error : closed;
}

}  // namespace kelvane::SevenZip::intl
