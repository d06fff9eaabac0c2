// What an archive read back must hold: exactly one entry for every file the
// run saved into it, under the name it was saved as, each read back whole.
// The archive checks of the ZIP and 7z targets report their entries here.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "archive/entry/archive_entry.h"
#include "run/backup_target.h"

namespace kelvane {

class RunLog;
class ScanContext;
namespace vxstl {
class BackupClass;
}

class EntryCheck {
 public:
  // Expects the files of `run` that did not fail, under their stored names,
  // each with the digest of the bytes the run read, and the run's manifest.
  // A file that failed after its entry was begun (a read error half-way) may
  // have an entry: it holds what was read, and the failure is already an
  // error of the run.
  explicit EntryCheck(vxstl::BackupClass& run);

  // An entry that was read back correctly, or one that was not and why.
  // Safe from any thread.
  void Good(const std::string& name, const platform::ContentDigest& digest);
  void Bad(const std::string& name, const std::wstring& why);

  // Logs the saved files no entry was found for, and the whole verdict.
  TargetCheck Finish(std::wstring unreadable);

 private:
  void Failed(const std::string& name, const std::wstring& why);
  void Count(const std::string& name);

  vxstl::BackupClass& run_;
  std::mutex lock_;
  struct Expected {
    platform::ContentDigest digest;
    bool seen = false;
  };
  // By stored name.
  std::unordered_map<std::string, Expected> expected_;  // guarded by lock_
  std::unordered_set<std::string> failed_;              // of files that failed
  std::string manifestName_;                            // empty without a manifest
  TargetCheck result_;                                  // guarded by lock_
};

// Reading an archive's entries as a check: each entry read into a sink that
// keeps nothing and tells `check` its verdict; ends early when `stop` is set.
EntryReading CheckReading(EntryCheck& check, const std::atomic<bool>& stop);

}  // namespace kelvane
