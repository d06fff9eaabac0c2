// What a dry run reports: it scans exactly as a run of the job would
// (filters, exclusions, the change catalog, the same refusals) and writes
// nothing. RunDriver::DryRun runs one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "run/run_report.h"

namespace kelvane {

// What a dry run saw: the files a run would save, and the room for them.
struct DryRunResult {
  // kJobUnreadable: nothing scanned; kAborted: refused as a run would be
  // (the host was told why) or cancelled; the rest is not filled in.
  RunOutcome outcome = RunOutcome::kCompleted;
  std::wstring target;
  std::wstring targetName;  // its name in the archive folder
  bool fullBackup = true;   // needs no earlier backup
  uint32_t files = 0;
  uint64_t bytes = 0;
  int roomError = 0;  // of the free-space query
  uint64_t freeBytes = 0;
  std::wstring roomQueried;  // the path that was asked
};

// Where a dry run tells what it finds; either may be empty.
struct DryRunSink {
  std::function<void(const std::wstring& path)> taken;
  std::function<void(const std::wstring& path, std::wstring_view reason)> skipped;
};

}  // namespace kelvane
