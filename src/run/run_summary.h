// The summary of a run for monitors and schedulers: one JSON file, written in
// one step after the run, whatever its outcome. Its members are kept stable
// (the README lists them):
//
//   "outcome"        "completed", "completed_with_errors", "aborted" or
//                    "job_unreadable"
//   "exitStatus"     the program's exit status for the run
//   "job"            the job file's path
//   "target", "log"  the target's and the log's paths ("" when never named;
//                    "log" also when the run left no log)
//   "filesSelected", "filesSaved", "filesFailed", "errors", "bytes"
//   "start", "end"   local time in ISO 8601 with its offset
//   "durationSeconds"
//   "verification"   "none", "passed" or "failed"; "filesVerified"
//   "deleted"        the older backups the keep policy deleted after the run
//   "locations"      each further storage location: "location", "result",
//                    "error", "deleted"
//   "notices"        each notice sent at the end: "channel", "result"
//                    ("sent" or "failed"), "error"
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"
#include "run/run_report.h"

namespace kelvane {

// A notice that told the user how the run ended (notify/).
struct NoticeResult {
  std::wstring channel;  // "desktop", "mail to ADDRESS", "webhook URL"
  std::wstring error;    // why it was not sent; empty when it was
};

struct RunSummary {
  RunReport report;
  int exitStatus = 0;
  std::wstring jobPath;
  std::wstring start, end;  // ISO 8601 with offset
  double durationSeconds = 0;
  std::vector<NoticeResult> notices;
};

// The current local time in ISO 8601 with the offset ("2026-12-07T03:00:00+01:00").
std::wstring IsoLocalTime();

// The summary as JSON text.
std::string SummaryText(const RunSummary& summary);

// Writes it to `path` under a temporary name first.
platform::Status WriteRunSummary(const std::wstring& path, const RunSummary& summary);

}  // namespace kelvane
