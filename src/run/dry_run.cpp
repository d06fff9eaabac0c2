// The dry run: the run's preparation and scan, then only counting.
#include "run/dry_run.h"

#include "platform/file_system.h"
#include "run/backup_class.h"
#include "run/run_driver.h"
#include "run/run_state.h"
#include "scan/scan_sources.h"

namespace kelvane {

using vxstl::runCancelled;

DryRunResult RunDriver::DryRun(const JsonDocument& jobDocument, const DryRunSink& sink) {
  RunState state(host_, texts_, log_);
  pump_.Reset();
  DryRunResult result;
  if (!Prepare(jobDocument, state, false)) {
    result.outcome = state.report.outcome;
    return result;
  }
  result.target = state.report.archivePath;
  result.targetName = state.run.targetName;
  if (!FillTheScan(state)) {
    result.outcome = RunOutcome::kAborted;
    return result;
  }
  state.scan.skipped = sink.skipped;
  // An include folder that cannot be read is told as skipped by the scan.
  ScanSources(state.scan, [this] { Pump(); });
  if (runCancelled) {
    result.outcome = RunOutcome::kAborted;
    return result;
  }
  for (const ScannedFolder& folder : state.scan.results) {
    for (const ScannedFile& file : folder.files) {
      if (sink.taken) sink.taken(folder.path + folder.Name(file));
      ++result.files;
      result.bytes += file.size;
    }
  }
  // A catalog that vouches for nothing gives a full backup.
  result.fullBackup = state.fullByPolicy || !state.scan.catalog || state.catalog.size() == 0;
  result.roomError =
      platform::Fs().FreeSpace(result.target, &result.freeBytes, &result.roomQueried).code();
  result.outcome = state.scan.includeFailures.empty() ? RunOutcome::kCompleted
                                                      : RunOutcome::kCompletedWithErrors;
  return result;
}

}  // namespace kelvane
