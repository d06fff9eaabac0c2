// The library's stream interfaces over the platform's file streams: one
// InStreamWrapper per source file (read on the library's worker threads), one
// OutStreamWrapper for the archive. Objects live by their reference counts.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "archive/sevenzip/com_object.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace kelvane::SevenZip::intl {

class InStreamWrapper final : public IInStream, public IStreamGetSize {
 public:
  // `stop`, when set to true, makes every further read answer E_ABORT. A read
  // that fails is told to `failed` (once, with its errno value) and ends the
  // stream there: the library then ends this item with what was read and
  // goes on with the next, where an error answer would end the whole archive.
  // A file that changed while it was read is told to `failed` at its end
  // (kErrorChangedWhileRead): its item may be torn, and there is no reading
  // it once more. A file read whole, in order and unchanged is told to
  // `read` at its end, with the digest of its bytes and its status.
  using ReadCallback = std::function<void(const platform::ContentDigest& digest,
                                          const platform::FileStatus& status)>;
  InStreamWrapper(std::unique_ptr<platform::FileStream> stream, const std::atomic<bool>* stop,
                  std::function<void(int error)> failed = {}, ReadCallback read = {});
  virtual ~InStreamWrapper() = default;

  HRESULT QueryInterface(const GUID& iid, void** out) override;
  uint32_t AddRef() override { return refs_.Up(); }
  uint32_t Release() override;
  HRESULT Read(void* data, uint32_t size, uint32_t* processedSize) override;
  HRESULT Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;
  HRESULT GetSize(uint64_t* size) override;

 private:
  RefCount refs_;
  std::unique_ptr<platform::FileStream> stream_;
  const std::atomic<bool>* stop_;
  std::function<void(int error)> failed_;
  ReadCallback read_;
  // The bytes from the start up to `position_`, while the library reads in
  // order; a jump elsewhere leaves the file without a digest.
  platform::Sha256 hash_;
  uint64_t position_ = 0;
  bool inOrder_ = true;
  bool broken_ = false;
  bool ended_ = false;
  bool knowsBefore_ = false;
  platform::FileStatus before_;
};

class OutStreamWrapper final : public IOutStream {
 public:
  explicit OutStreamWrapper(std::unique_ptr<platform::FileStream> stream);
  virtual ~OutStreamWrapper() = default;

  HRESULT QueryInterface(const GUID& iid, void** out) override;
  uint32_t AddRef() override { return refs_.Up(); }
  uint32_t Release() override;
  HRESULT Write(const void* data, uint32_t size, uint32_t* processedSize) override;
  HRESULT Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;
  HRESULT SetSize(uint64_t newSize) override;

  // Syncs and closes the archive file; 0 or an errno value.
  int Finish();

 private:
  RefCount refs_;
  std::unique_ptr<platform::FileStream> stream_;
};

}  // namespace kelvane::SevenZip::intl
