// What an archive read back must hold: exactly one entry for every file the
// run saved into it, under the name it was saved as, each read back whole.
// The archive checks of the ZIP and 7z targets report their entries here.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "run/backup_target.h"

namespace kelvane {

class RunLog;
class ScanContext;
struct ScannedFile;
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

  // A saved file of the scan result, found by the hash of its stored name:
  // a million files are then 17 bytes each here, not a map of their names.
  struct Place {
    uint64_t hash = 0;
    uint32_t folder = 0;  // in the scan result
    uint32_t file = 0;    // in its folder
  };
  // The file stored under `name`, or null; its number in the run's saved
  // files goes to `number`.
  const ScannedFile* Find(std::string_view name, size_t* number) const;

  vxstl::BackupClass& run_;
  std::mutex lock_;
  std::vector<std::string> folderNames_;  // each folder's stored name, ending in "/"
  std::vector<size_t> firstNumber_;       // of each folder's first file
  std::vector<Place> places_;             // by hash
  std::vector<bool> seen_;                // by number; guarded by lock_
  std::string manifestName_;              // empty without a manifest
  platform::ContentDigest manifestDigest_;
  bool manifestSeen_ = false;  // guarded by lock_
  TargetCheck result_;         // guarded by lock_
};

// Reading an archive's entries as a check: each entry read into a sink that
// keeps nothing and tells `check` its verdict; ends early when `stop` is set.
EntryReading CheckReading(EntryCheck& check, const std::atomic<bool>& stop);

}  // namespace kelvane
