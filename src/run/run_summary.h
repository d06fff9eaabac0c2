// The summary of a run for monitors and schedulers: one JSON file, written in
// one step after the run, whatever its outcome. Its members are kept stable
// (the README lists them):
//
//   "outcome"        "completed", "completed_with_errors", "aborted" or
//                    "job_unreadable"
//   "exitStatus"     the program's exit status for the run
//   "job"            the job file's path
//   "target", "log"  the target's and the log's paths ("" when never named)
//   "filesSelected", "filesSaved", "filesFailed", "errors", "bytes"
//   "start", "end"   local time in ISO 8601 with its offset
//   "durationSeconds"
//   "verification"   "none", "passed" or "failed"; "filesVerified"
//   "deleted"        the older backups the keep policy deleted after the run
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"
#include "run/run_report.h"

namespace kelvane {

struct RunSummary {
  RunReport report;
  int exitStatus = 0;
  std::wstring jobPath;
  std::wstring start, end;  // ISO 8601 with offset
  double durationSeconds = 0;
};

// The current local time in ISO 8601 with the offset ("2026-12-07T03:00:00+01:00").
std::wstring IsoLocalTime();

// The summary as JSON text.
std::string SummaryText(const RunSummary& summary);

// Writes it to `path` under a temporary name first.
platform::Status WriteRunSummary(const std::wstring& path, const RunSummary& summary);

}  // namespace kelvane
