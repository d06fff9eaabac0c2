// How a run ended, as the driver reports it to its host and its caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

enum class RunOutcome {
  kCompleted,            // every selected file saved
  kCompletedWithErrors,  // saved, but failures were logged
  kAborted,              // cancel, no room, target not made, writer failure
  kJobUnreadable,        // the job could not be read or is not usable
};

// Whether the target was read back after the backup, and how that went.
enum class Verification { kNone, kPassed, kFailed };

// What became of the copy at one further storage location.
struct LocationOutcome {
  std::wstring location;  // as the job names it
  std::wstring result;    // "copied", "failed" or "cancelled"
  std::wstring error;     // why, when not copied
  uint32_t deleted = 0;   // older backups its keep policy deleted there
};

struct RunReport {
  RunOutcome outcome = RunOutcome::kAborted;
  uint32_t result = 0;  // of the target phase; 0 = success
  uint32_t errorCount = 0;
  uint32_t totalFiles = 0;  // files the scan selected
  uint64_t totalBytes = 0;
  uint32_t savedFiles = 0;      // files the target phase saved without error
  bool targetBegun = false;     // the target phase started writing
  bool partKept = false;        // aborted, a folder copy updated in place keeps what it copied
  bool alreadyRunning = false;  // refused: another run of the job holds its lock
  // Completed without a file to save (a quiet night of a dated incremental
  // job): the target stands, empty, as a restore point.
  bool nothingChanged() const { return outcome == RunOutcome::kCompleted && totalFiles == 0; }
  Verification verification = Verification::kNone;
  uint32_t verifiedFiles = 0;  // read back
  uint32_t verifyFailures = 0;
  std::wstring archivePath;
  std::wstring logPath;
  // Older backups the job's keep policy deleted after the run, oldest first.
  std::vector<std::wstring> deleted;
  // Each storage location of the job, in its order, after a run that made a
  // target to copy.
  std::vector<LocationOutcome> locations;
  // An operation other than a backup (a restore in the run window) says how
  // it ended here, in place of the run's outcome lines.
  std::wstring describedAs;
};

}  // namespace kelvane
