// The folder target: every selected file copied below the target folder,
// keeping its path without the root separator.
#pragma once

#include <cstdint>

#include "run/backup_target.h"

namespace kelvane {

class FolderTarget final : public BackupTarget {
 public:
  // RunFolderTarget: copies on a task thread while the caller's thread pumps.
  uint32_t Write(vxstl::BackupClass& run) override;

 private:
  // The task: 0, or the errno value when a target folder cannot be made.
  static uint32_t CopyToFolderTask(vxstl::BackupClass& run);
};

}  // namespace kelvane
