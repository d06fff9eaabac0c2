// The options word a run hands its scan: one bit for each setting of the job
// that the scan acts on (the job's fields say which, backup_job.cpp).
#pragma once

#include <cstdint>

namespace kelvane {

enum ScanOption : uint32_t {
  kScanSkipFilesWithoutExtension = 0x001,
  kScanCheckProcessedFolders = 0x002,  // every run: each folder is walked once
  kScanLogFolder = 0x008,
  kScanLogFiles = 0x010,
  kScanLogBlackList = 0x020,
  kScanArchiveBitGet = 0x200,
  kScanIncludeSystemFiles = 0x400,
  kScanIncludeHiddenFiles = 0x800,
  kScanIncludeLinks = 0x1000,  // a symbolic link is taken as an entry of its own
};

}  // namespace kelvane
