// The job a run or a dry run acts on, loaded as both need it: the job given
// or the recent one, made absolute, and the -summary file checked against the
// run's own outputs.
#pragma once

#include <optional>
#include <string>

#include "job/backup_job.h"
#include "json/json_document.h"

namespace kelvane {

class LanguageTable;
struct CommandContext;
struct RunSummary;

struct JobToRun {
  JsonDocument document;
  BackupJob settings;  // read from `document` once, for the app's own use
  std::wstring path;
  // Absolute: the run may change the current folder's meaning. Empty when
  // none was asked for.
  std::wstring summaryPath;
};

// Loads the job into `job`. A job that cannot be loaded is said (in a box
// too when `inWindow`), its summary written and, on a desktop, the editor
// opened on a new job; a summary that names one of the run's outputs is
// refused. Returns the exit status then, nothing when the job is ready. A
// real run records the job as the recent one; a dry run writes nothing.
std::optional<int> LoadJobToRun(const CommandContext& context, bool isDryRun, bool inWindow,
                                JobToRun* job);

// Writes `summary` to `path` when one was asked for. A summary that cannot be
// written is said, and is an error of the run (a monitor would read the
// previous run's summary as this one's): false then.
bool WriteSummaryIfAsked(const std::wstring& path, const RunSummary& summary,
                         const LanguageTable& texts);

}  // namespace kelvane
