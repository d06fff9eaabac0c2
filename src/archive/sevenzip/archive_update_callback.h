// What the 7-Zip library asks while it writes an archive: each item's
// properties and data stream, and the password.
//
// Every item is a new file from the list. Progress is counted when a file's
// stream is handed out: while file k is read, processedFiles is k and
// processedBytes the sizes of files 1..k-1. Called on the library's threads.
#pragma once

#include <atomic>
#include <vector>

#include "archive/sevenzip/com_object.h"
#include "archive/sevenzip/seven_zip_module.h"
#include "archive/sevenzip/seven_zip_records.h"

namespace kelvane::SevenZip::intl {

class ArchiveUpdateCallbackEx final : public IArchiveUpdateCallback,
                                      public ICryptoGetTextPassword2,
                                      public ICompressProgressInfo {
 public:
  ArchiveUpdateCallbackEx(const SevenZipModule& module, const std::vector<FilePathInfoEx>& files,
                          SevenZipUIUpdate* record);
  virtual ~ArchiveUpdateCallbackEx() = default;

  HRESULT QueryInterface(const GUID& iid, void** out) override;
  uint32_t AddRef() override { return refs_.Up(); }
  uint32_t Release() override;

  HRESULT SetTotal(uint64_t total) override;
  HRESULT SetCompleted(const uint64_t* completed) override;
  HRESULT GetUpdateItemInfo(uint32_t index, int32_t* newData, int32_t* newProperties,
                            uint32_t* indexInArchive) override;
  HRESULT GetProperty(uint32_t index, PROPID propId, PROPVARIANT* value) override;
  HRESULT GetStream(uint32_t index, ISequentialInStream** inStream) override;
  HRESULT SetOperationResult(int32_t operationResult) override;
  HRESULT CryptoGetTextPassword2(int32_t* passwordIsDefined, BSTR* password) override;
  HRESULT SetRatioInfo(const uint64_t* inSize, const uint64_t* outSize) override;

 private:
  bool Stopped() const { return record_ && record_->stopRequested; }

  RefCount refs_;
  const SevenZipModule& module_;
  const std::wstring* password_;
  const std::vector<FilePathInfoEx>& files_;
  SevenZipUIUpdate* record_;
  std::atomic<uint64_t> pendingSize_{0};
};

}  // namespace kelvane::SevenZip::intl
