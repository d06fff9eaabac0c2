// One backup run, start to end. A run and a dry run share their preparation
// (read the job, refuse what cannot be run, name the target, open the archive
// folder), so both refuse the same jobs; dry_run.cpp holds the rest of the
// dry run. A run then goes through its phases: take the job's lock; open the
// log and sweep what killed runs left (leftover_sweep.h); scan the sources
// (the job's lists as job_scan.h maps them); write the target (totals, room,
// the folder copy or the archive, its check, the archive put in place);
// record the saved files in the change catalog; the step after a good run
// (the keep policy, which lives above this room); finish (report errors,
// remove what an aborted run left behind).
//
// Runs on the thread that owns the host; work happens on scan workers and one
// target task while the driver pumps the host. The same driver serves the
// console and the run window.
//
// Archives are written to a temporary file beside the archive, which the
// driver renames over the archive only after a successful run: an aborted run
// removes only the temporary file, never an older good archive. Before
// anything is written, the run takes the job's lock in the archive folder: a
// second run of the same job meanwhile ends at once, touching nothing. Under
// the lock it removes what killed runs of the job left behind.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "operation/operation_pump.h"
#include "run/backup_target.h"
#include "run/dry_run.h"
#include "run/run_report.h"

namespace kelvane {

class JsonDocument;
class LanguageTable;
class OutputNames;
class RunHost;
class RunLog;
struct BackupJob;
namespace platform {
class Folder;
}

// What a run hands to the step after it, under the job's lock with the log
// open, once the target is in place. `whole`: the run had no error and, when
// the job checks its backups, passed the check; a run with errors may lack
// files that older backups hold.
struct FinishedRun {
  const BackupJob& job;
  const platform::Folder& archiveFolder;
  const OutputNames& outputs;
  const std::string& manifestId;  // of the target this run made
  bool whole;
  RunLog& log;
  RunHost& host;  // for the step's status lines
  const LanguageTable& texts;
  std::function<void()> pump;  // looks at the user; a cancel sets runCancelled
  RunReport& report;
  uint32_t& errors;  // what went wrong in the step, each logged
};
using AfterRunStep = std::function<void(const FinishedRun&)>;

class RunDriver {
 public:
  // Runs write their lines to `log` (the program's is ProcessLog()).
  RunDriver(RunHost& host, const LanguageTable& texts, RunLog& log);
  ~RunDriver();
  RunDriver(RunDriver&&) noexcept;

  // The target that jobs of `jobType` are written to.
  void SetTarget(uint32_t jobType, std::unique_ptr<BackupTarget> target);
  // The job file's path, for the manifests; none when the job has no file.
  void SetJobPath(std::wstring path) { jobPath_ = std::move(path); }
  // What runs after a run that completed; failures it has count as errors.
  void SetAfterRun(AfterRunStep step) { afterRun_ = std::move(step); }

  // Runs the job held in `jobDocument`; the host hears RunEnded at the end.
  RunReport Run(const JsonDocument& jobDocument);

  // Scans exactly as a run of the job would (filters, exclusions, the change
  // catalog) and writes nothing: no target, no log, no catalog, no lock.
  DryRunResult DryRun(const JsonDocument& jobDocument, const DryRunSink& sink);

 private:
  struct RunState;

  bool Refuse(RunState& state, const std::wstring& message, RunOutcome outcome);
  bool ReadTheJob(const JsonDocument& jobDocument, RunState& state);
  std::wstring FolderRefusal(const std::wstring& folder, int error) const;
  bool Prepare(const JsonDocument& jobDocument, RunState& state, bool makeFolder);
  bool FillTheScan(RunState& state);

  // The phases of a run; a phase that returns false ends the run.
  bool TakeTheLock(RunState& state);
  void PrepareTheScan(RunState& state);
  void ScanTheSources(RunState& state);
  void PrepareTheManifest(RunState& state);
  bool KeepsTheOlderArchive(RunState& state);
  void WriteTheTarget(RunState& state);
  void VerifyTheTarget(RunState& state);
  void WriteTheCopyToDisk(RunState& state);
  void RecordTheSavedFiles(RunState& state);
  void AfterTheRun(RunState& state);
  void Finish(RunState& state);
  // True when `name` is gone from the archive folder; said when it is not.
  bool RemoveOrSay(RunState& state, const std::wstring& name);
  void RemoveTheLog(RunState& state);
  // Cleans up after an exception ended the run and tells the user.
  void EndAfterException(RunState& state, const std::wstring& message);

  // The host's pump, turning a confirmed cancel into the run's cancel, logged.
  void Pump();

  RunHost& host_;
  const LanguageTable& texts_;
  RunLog& log_;
  std::map<uint32_t, std::unique_ptr<BackupTarget>> targets_;
  std::wstring jobPath_;
  AfterRunStep afterRun_;
  OperationPump pump_;
};

// A driver for the program's log with every target this build has; 7z
// archives through the 7-Zip library at `sevenZipLibrary` (the preference
// "Main"/"SevenZip"; empty: the standard places).
RunDriver MakeRunDriver(RunHost& host, const LanguageTable& texts,
                        const std::wstring& sevenZipLibrary);

}  // namespace kelvane
