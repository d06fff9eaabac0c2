// The run object: everything one backup run knows while it works, the
// progress counters the target task writes and the driver's thread reads, and
// the message-pumping wait with which that thread waits for the task.
//
// The run driver (run_driver.h) creates one per run. During the target phase
// exactly one task works on it (on a thread of its own, with helpers where
// its files allow): it writes processedBytes, processedFiles and errorCount
// (atomic, so the driver's thread may read them at any time) and reads
// cancelRequested, which only the driver's thread sets.
// result and failureText are read only after the task has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"
#include "util/time_estimate.h"

namespace kelvane {
class BackupTarget;
class LanguageTable;
class ManifestSpool;
class RunHost;
class RunLog;
class ScanContext;
struct ScannedFile;
}  // namespace kelvane

// The run's own code, named as the program has always named it.
namespace kelvane::vxstl {

// What the target took of one file of the scan: the status of the version it
// read and the digest of the bytes. `taken` stays false for a file that did
// not get in. A run holds one for every file, so the extended attributes,
// which few files have, are kept apart (BackupClass::KeepAttributes).
struct SavedFile {
  platform::FileStatus status;
  platform::ContentDigest digest;
  bool taken = false;
};

// The current run is to be abandoned. Cleared at the start of every run; set by
// a confirmed cancel and by any failure of the target phase.
extern std::atomic<bool> runCancelled;

class BackupClass {
 public:
  BackupClass(RunHost& host, const LanguageTable& texts, RunLog& log);

  // The target phase: totals, disk-space check, then `target`. Returns 0, 112
  // when the target has too little room, or the target's result.
  uint32_t Run(ScanContext* scanContext, int32_t level, BackupTarget& target);

  // Waits for `task`, pumping the host and calling progressCallback every
  // 100 ms; a false answer sets cancelRequested for the rest of the task.
  uint32_t PumpingWait(std::future<uint32_t>& task);

  // Clears the progress block and sums up the scan result.
  void PrepareTotals();
  // True when the target has room for totalBytes; otherwise shows
  // "ui_diskspace" and returns false.
  bool CheckDiskSpace();
  // Free bytes for `path` (or its nearest existing ancestor, whose path goes to
  // `queried`); logs a failed query and returns its errno value.
  uint32_t QueryFreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried);
  // The three status lines and the bar position; false when the run is to stop.
  bool UpdateRunProgress();

  // A file of the scan that did not get into the target; a run that records
  // what it saved leaves it out. Safe from any thread.
  void FileFailed(const ScannedFile& file);
  bool HasFailed(const ScannedFile& file) const;

  // The extended attributes (as root, ACLs too) of the saved file `number`,
  // which the manifest keeps for a restore. Safe from any thread.
  void KeepAttributes(size_t number, platform::ExtendedAttributes attributes);
  platform::ExtendedAttributes SavedAttributes(size_t number) const;

  // Archives: creates the temporary file in archiveFolder that the archive is
  // written to until the run has succeeded; its name goes to workName.
  int CreateWorkFile(std::unique_ptr<platform::FileStream>* stream);
  // A file in archiveFolder for what a target writes aside while it works
  // (the ZIP writer's central directory): it has no name, so nobody else can
  // open it and it is gone when closed, whatever becomes of the run.
  int CreateScratchFile(std::unique_ptr<platform::FileStream>* stream);
  // Opens the finished work file for reading it back, only while it is the
  // regular file the archive folder lists under workName.
  int OpenWorkFile(std::unique_ptr<platform::FileStream>* stream);

  // The status lines while the target is read back; false when the run is
  // to stop.
  bool UpdateVerifyProgress();

  // Where and what.
  std::wstring archivePath;  // the target: archive file, or folder ending in the separator
  std::wstring logPath;
  // The job's archive folder, open for the whole run: the target, its
  // temporary files and the log are made inside it, never by path.
  const platform::Folder* archiveFolder = nullptr;
  std::wstring targetName;  // the target's name inside archiveFolder
  // The temporary file an archive, or the staging folder a new folder copy,
  // is written to, once made; put in place by the driver.
  std::wstring workName;
  // A folder copy that updates an existing one: a cancel keeps what it copied.
  bool updatedInPlace = false;
  std::wstring password;
  int32_t compressionLevel = 0;
  bool testFiles = false;  // the target is read back after it was written
  ScanContext* scan = nullptr;

  // How it went.
  uint32_t result = 0;
  std::atomic<uint32_t> errorCount{0};
  std::wstring failureText;  // why the target phase failed, for the user
  // By each file's number in the scan's order (folder by folder, file by
  // file), sized by PrepareTotals; each written by one thread of the target
  // and read once the target holds the file.
  std::vector<SavedFile> savedFiles;
  // The run's manifest, made when first asked for, once the target holds
  // every file: an archive keeps it as its last entry, a folder copy in its
  // top folder. A manifest that cannot be written fails the target.
  std::function<platform::Status(ManifestSpool** spool)> manifest;
  // Files that failed: few, so a set is enough.
  mutable std::mutex failedLock;
  std::unordered_set<const ScannedFile*> failedFiles;  // guarded by failedLock
  // The saved files that have extended attributes, by number.
  mutable std::mutex attributesLock;
  std::unordered_map<size_t, platform::ExtendedAttributes> savedAttributes;  // guarded by it

  // Progress.
  uint64_t totalBytes = 0;
  uint32_t totalFiles = 0;
  uint64_t freeBytes = 0;
  std::atomic<uint64_t> processedBytes{0};
  std::atomic<uint32_t> processedFiles{0};
  std::atomic<uint32_t> verifiedFiles{0};  // read back so far
  std::wstring verifyTemplate;
  std::wstring processedSizeText, totalSizeText;
  std::wstring filesTemplate, sizeTemplate, timeTemplate1, timeTemplate2;
  TimeEstimate estimator{0};
  std::function<bool(BackupClass*)> progressCallback;
  // What PumpingWait calls every 100 ms: the run driver's pump, which also
  // turns a cancel the user confirmed into runCancelled. Defaults to the host's.
  std::function<void()> pump;
  std::atomic<bool> cancelRequested{false};

  RunHost& host;
  const LanguageTable& texts;
  RunLog& log;
};

// Where a scanned folder's path starts to be reproduced under a target: after
// the root separator of an absolute path ("/home/a/" keeps "home/a/"), at the
// start of a relative one.
size_t StoredPathStart(const std::wstring& folderPath);

}  // namespace kelvane::vxstl
