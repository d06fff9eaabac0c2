// The ZIP target: every selected file packed into one archive by the
// program's own ZIP writer, stored under its path without the root separator.
#pragma once

#include <cstdint>

#include "run/backup_target.h"

namespace kelvane {

struct ZipArchiveHandle;

class ZipTarget final : public BackupTarget {
 public:
  // RunZipTarget: packs on a task thread while the caller's thread pumps;
  // tells the user when the archive cannot be created (result 110).
  uint32_t Write(vxstl::BackupClass& run) override;
  // Reads every entry back on a task thread (decrypted, inflated, CRC).
  TargetCheck Verify(vxstl::BackupClass& run) override;
  // By the entries of its directory.
  bool HoldsFiles(const platform::Folder& folder, const platform::DirectoryEntry& entry) override;

 private:
  // Makes the archive in the run's work file; 0 or 110.
  uint32_t OpenZipTarget(vxstl::BackupClass& run);
  // The task: 0, 110, the errno value of an archive that cannot be written,
  // or 1 when an exception ended it.
  uint32_t CopyToZipTask(vxstl::BackupClass& run);
  // The saved folders' entries; 0 or the errno value of an archive that
  // cannot be written.
  uint32_t AddFolders(vxstl::BackupClass& run);
  // Every file of the scan, each failure logged; 0 or the errno value of an
  // archive that cannot be written.
  uint32_t AddFiles(vxstl::BackupClass& run);
  // The run's manifest as the last entry; 0 or the errno value of an
  // archive that cannot be written.
  uint32_t AddManifest(vxstl::BackupClass& run);
  // Writes the central directory and closes the archive; 0 or an errno value.
  int CloseArchive();

  ZipArchiveHandle* zipArchive_ = nullptr;  // used by the task only
};

}  // namespace kelvane
