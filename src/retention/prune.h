// A keep policy carried out in a job's archive folder: the restore points
// found there (restore/restore_points.h), the plan (retention_plan.h) said
// line by line, then the points it drops deleted, oldest first and one at a
// time, so a cancel or a kill between two leaves a set in which every kept
// point is whole.
//
// Only this job's own targets are touched, by their exact names, and each
// with its manifest beside it; an archive goes in one unlink, a folder copy
// is first renamed to a temporary name (which the next run's sweep finishes
// if this one cannot), never followed through a link. The change catalog
// then forgets what the deleted targets held.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/target_reader.h"
#include "retention/keep_policy.h"
#include "retention/retention_plan.h"
#include "run/run_driver.h"

namespace kelvane {

class OutputNames;
class RunLog;
struct BackupJob;

struct PruneRequest {
  const platform::Folder* archiveFolder = nullptr;
  const OutputNames* outputs = nullptr;
  KeepPolicy policy;
  ReaderKeys keys;  // to read a manifest that is only inside its archive
  // When set, the newest point must be the target with this manifest id (the
  // run that just ended): otherwise nothing is deleted.
  std::string newestId;
  bool dryRun = false;  // the plan only
  // For a dry run of the job: the point its run would add (replacing one of
  // the same name), and whether it would be a full backup; otherwise it is
  // taken to need all the newest point needs.
  std::wstring comingPoint;
  bool comingIsFull = false;
  const std::atomic<bool>* stop = nullptr;
  std::function<void()> pump;  // called between deletions
  // Each line of the plan and of what was done, for the log and the user.
  std::function<void(const std::wstring& line)> say;
  // For the points of a storage location seen through a stand-in folder:
  // where they are, for the lines, and how one of its files is deleted there.
  std::wstring placeName;
  std::function<platform::Status(const std::wstring& name)> removeThere;
};

struct PruneReport {
  std::vector<std::wstring> deleted;  // targets, oldest first
  uint32_t failures = 0;              // deletions that failed, each said
  bool refused = false;               // nothing planned: the line said why
};

// A request that carries out `job`'s keep policy in `archiveFolder` (whose
// outputs `outputs` names), reading manifests with the job's password.
PruneRequest KeepPolicyRequest(const BackupJob& job, const platform::Folder& archiveFolder,
                               const OutputNames& outputs, const std::wstring& sevenZipLibrary);

// Every line goes to `log` (when it is open) and to the request's `say`.
PruneReport Prune(const PruneRequest& request, RunLog& log);

// The step after a run (run/run_driver.h): the job's keep policy, only when
// the run was whole and its target is the newest point.
void PruneAfterRun(const FinishedRun& run, const std::wstring& sevenZipLibrary);
inline AfterRunStep KeepPolicyStep(const std::wstring& sevenZipLibrary) {
  return [sevenZipLibrary](const FinishedRun& run) { PruneAfterRun(run, sevenZipLibrary); };
}

}  // namespace kelvane
