// A restore: one point's plan written into a folder. Before anything is
// written, every archive the plan needs is found with the id its manifest
// gives and read (its first file, with the password), and the folder is new
// or empty (or the user asked to overwrite); then folders, files (every
// archive read on every core, each file checked as it is written) and links
// are made, and the folders get their status last. Progress, status lines
// and cancel go through the operation host, as a run's do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/restore_plan.h"
#include "restore/target_reader.h"

namespace kelvane {

class OperationHost;
class RunLog;

struct RestoreRequest {
  const platform::Folder* archiveFolder = nullptr;  // where the plan's archives are
  std::vector<platform::DirectoryEntry> listing;    // of that folder
  RestorePlan plan;                                 // what to write
  ReaderKeys keys;
  std::wstring targetPath;  // the folder to restore into
  bool overwrite = false;   // into a folder that holds files already
};

enum class RestoreOutcome { kRestored, kSomeFailed, kRefused, kCancelled };

struct RestoreReport {
  RestoreOutcome outcome = RestoreOutcome::kRefused;
  uint64_t files = 0;  // restored and checked
  uint64_t bytes = 0;
  uint64_t failures = 0;  // entries refused or not restored, each logged
  std::wstring refusal;   // why nothing was written, one line
};

// Restores `request` and says each failure in `log`.
RestoreReport RunRestore(const RestoreRequest& request, OperationHost& host, RunLog& log);

// Why the folder at `path` cannot take a restore; empty when it can. A
// missing folder is made (for its owner only) and opened into `folder`.
std::wstring PrepareRestoreFolder(const std::wstring& path, bool overwrite,
                                  platform::Folder* folder);

}  // namespace kelvane
