// Every run keeps its summary beside its log ("NAME.kvnlast.json", for its
// owner only), so the editor and "kelvane JOB -list" can say how the last
// backup went without anyone reading a log.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"
#include "run/run_summary.h"

namespace kelvane {

struct BackupJob;
class LanguageTable;

platform::Status KeepLastRun(const BackupJob& job, const RunSummary& summary);

// "Last backup: completed 2 days ago", "Last backup: failed 3 hours ago",
// "Last backup: never", as of `now` (Unix seconds).
std::wstring LastBackupLine(const BackupJob& job, const LanguageTable& texts, int64_t now);

}  // namespace kelvane
