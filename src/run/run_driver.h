// One backup run, start to end: read the job, name target and log, scan the
// sources, check the room, run the target, and finish (report errors, remove
// what an aborted run left behind).
//
// Runs on the thread that owns the host (the window thread); work happens on
// scan workers and one target task while the driver pumps the host. The same
// driver serves the console and the run dialog.
//
// Archive targets write to a temporary file beside the archive and the driver
// renames it over the archive only after a successful run: an aborted run
// removes only the temporary file, never an older good archive.
//
// Before anything is written, the run takes the job's lock in the archive
// folder: a second run of the same job meanwhile ends at once, touching
// nothing. Under the lock it removes what killed runs of the job left behind.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "run/backup_class.h"

namespace kelvane {

class JsonDocument;
class LanguageTable;
class RunHost;
class ScanContext;
struct BackupJob;

enum class RunOutcome {
  kCompleted,            // every selected file saved
  kCompletedWithErrors,  // saved, but failures were logged
  kAborted,              // cancel, no room, target not made, writer failure
  kJobUnreadable,        // the job could not be read
};

struct RunReport {
  RunOutcome outcome = RunOutcome::kAborted;
  uint32_t result = 0;
  uint32_t errorCount = 0;
  uint32_t totalFiles = 0;      // files the scan selected
  uint64_t totalBytes = 0;
  uint32_t savedFiles = 0;      // files the target phase saved without error
  std::wstring archivePath;
  std::wstring logPath;
};

// Target path and log path of a job, and the target's own name in the archive
// folder. The date suffix goes on the target only.
struct TargetNames {
  std::wstring archivePath;
  std::wstring logPath;
  std::wstring targetName;
};
TargetNames NameTarget(const BackupJob& job, const std::wstring& dateSuffix);

// The scan options word for a job.
uint32_t ScanOptionsFor(const BackupJob& job);

class RunDriver {
 public:
  RunDriver(RunHost& host, const LanguageTable& texts);

  // Registers the target step for a job type. A step that writes an archive
  // writes it into BackupClass::CreateWorkFile, which replaces the archive
  // only after success.
  void SetTargetStep(uint32_t jobType, vxstl::TargetStep step);

  // The 7-Zip library for 7z targets (the preference "Main"/"SevenZip");
  // empty: the standard places.
  void SetSevenZipLibrary(std::wstring path) { sevenZipLibrary_ = std::move(path); }

  // Runs the job held in `jobDocument`.
  RunReport Run(const JsonDocument& jobDocument);

 private:
  // The host's pump, turning a confirmed cancel into the run's cancel.
  void Pump();
  // Cleans up after an exception ended the run.
  void EndAfterException(vxstl::BackupClass& run, ScanContext& scan, const std::wstring& logName);

  RunHost& host_;
  const LanguageTable& texts_;
  std::map<uint32_t, vxstl::TargetStep> targets_;
  std::wstring sevenZipLibrary_;
  bool cancelLogged_ = false;
};

// A driver with every target this build has.
RunDriver MakeRunDriver(RunHost& host, const LanguageTable& texts);

}  // namespace kelvane
