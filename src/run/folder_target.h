// The folder target: every selected file copied below the target folder,
// keeping its path without the root separator.
#pragma once

#include <cstdint>

#include "platform/file_system.h"
#include "run/backup_target.h"

namespace kelvane {

class FolderTarget final : public BackupTarget {
 public:
  // RunFolderTarget: copies on a task thread while the caller's thread pumps.
  uint32_t Write(vxstl::BackupClass& run) override;
  // Reads every copy back from the disk and compares it with the digest of
  // the bytes the copy read (not a second read of the source, which may
  // have changed since).
  TargetCheck Verify(vxstl::BackupClass& run) override;

 private:
  // The task: 0, or the errno value when a target folder cannot be made.
  uint32_t CopyToFolderTask(vxstl::BackupClass& run);
  TargetCheck CheckCopies(vxstl::BackupClass& run);
  // Opens the target as `root`: a staging folder for a new one (its name
  // goes to run.workName), the target itself, marked, for an update. 0 or
  // an errno value.
  static int OpenTheTarget(vxstl::BackupClass& run, platform::Folder* root,
                           platform::CopyMode* mode);
  // Sets (or, after the run, removes) the mark in the target `root` that an
  // update is under way; 0 or an errno value.
  static int MarkUpdate(const platform::Folder& root, bool begun);
  // The run's manifest as ".kelvane/manifest.jsonl" in the top folder `root`.
  void WriteManifest(vxstl::BackupClass& run, const platform::Folder& root);
};

}  // namespace kelvane
