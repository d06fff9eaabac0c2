#include "run/run_driver.h"

#include <cerrno>
#include <exception>
#include <future>
#include <optional>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "platform/environment.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/catalog_file.h"
#include "run/folder_target.h"
#include "run/full_backup_due.h"
#include "run/job_scan.h"
#include "run/leftover_sweep.h"
#include "run/manifest_file.h"
#include "run/output_names.h"
#include "run/run_host.h"
#include "run/run_manifest.h"
#include "run/run_state.h"
#include "run/run_summary.h"
#include "run/seven_zip_target.h"
#include "run/zip_target.h"
#include "scan/change_catalog.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/path_util.h"
#include "util/result_codes.h"
#include "util/template_format.h"
#include "util/time_estimate.h"

namespace kelvane {

using vxstl::BackupClass;
using vxstl::runCancelled;

RunDriver::RunDriver(RunHost& host, const LanguageTable& texts, RunLog& log)
    : host_(host), texts_(texts), log_(log), pump_(host, runCancelled) {}

RunDriver::~RunDriver() = default;
RunDriver::RunDriver(RunDriver&&) noexcept = default;

void RunDriver::SetTarget(uint32_t jobType, std::unique_ptr<BackupTarget> target) {
  targets_[jobType] = std::move(target);
}

void RunDriver::Pump() {
  if (pump_.Pump()) log_.WriteLogLine(L"*** Userexit.");
}

RunReport RunDriver::Run(const JsonDocument& jobDocument) {
  RunState state(host_, texts_, log_);
  pump_.Reset();
  if (Prepare(jobDocument, state, true) && TakeTheLock(state)) {
    try {
      PrepareTheScan(state);
      ScanTheSources(state);
      PrepareTheManifest(state);
      WriteTheTarget(state);
      RecordTheSavedFiles(state);
      AfterTheRun(state);
      Finish(state);
    } catch (const std::exception& e) {
      EndAfterException(
          state, PrintFEx(texts_.GetText(L"exception_caught"), {platform::FromNative(e.what())}));
    } catch (...) {
      EndAfterException(state, texts_.GetText(L"exception_caught_unknown"));
    }
  }
  host_.RunEnded(state.report);
  return state.report;
}

bool RunDriver::Refuse(RunState& state, const std::wstring& message, RunOutcome outcome) {
  host_.ShowMessage(message, true);
  state.report.outcome = outcome;
  return false;
}

// Reads the job and refuses, saying why, what cannot be run; the same for a
// run and a dry run.
bool RunDriver::ReadTheJob(const JsonDocument& jobDocument, RunState& state) {
  BackupJob& job = state.job;
  auto refuse = [&](const std::wstring& message, RunOutcome outcome) {
    return Refuse(state, message, outcome);
  };
  if (!job.ReadJob(jobDocument)) {
    return refuse(texts_.GetText(L"load_backup_failed"), RunOutcome::kJobUnreadable);
  }
  // A job with a password must never give an archive without one.
  if (job.ArchivePasswordUnreadable) {
    return refuse(texts_.GetText(L"password_unreadable"), RunOutcome::kJobUnreadable);
  }
  if (!IsUsableArchiveName(job.ArchiveName)) {
    return refuse(PrintFEx(texts_.GetText(L"archive_name_invalid"), {job.ArchiveName}),
                  RunOutcome::kJobUnreadable);
  }
  // Absolute and normal, so the outputs never depend on how the folder was
  // written and the scan can tell them among its sources.
  job.ArchiveFolder = NormalPath(job.ArchiveFolder);
  const auto target = targets_.find(job.Type);
  if (target == targets_.end()) {
    // A run that did nothing must not look like a backup that succeeded.
    return refuse(PrintFEx(texts_.GetText(L"unknown_target_type"), {FormatText(L"%lu", job.Type)}),
                  RunOutcome::kAborted);
  }
  state.target = target->second.get();
  return true;
}

std::wstring RunDriver::FolderRefusal(const std::wstring& folder, int error) const {
  return FormatText(L"Create Folder %s failed.%s", folder, ErrorText(static_cast<uint32_t>(error)));
}

// Shared by a run and a dry run, so both refuse the same jobs: read the job,
// name the target, and open the archive folder. A run makes a missing folder;
// a dry run makes nothing, and a folder that is not there holds no outputs
// and no catalog.
bool RunDriver::Prepare(const JsonDocument& jobDocument, RunState& state, bool makeFolder) {
  if (!ReadTheJob(jobDocument, state)) return false;
  const BackupJob& job = state.job;
  const TargetNames names = NameTarget(job, DateSuffix());
  BackupClass& run = state.run;
  run.archivePath = state.report.archivePath = names.archivePath;
  run.logPath = state.report.logPath = names.logPath;
  run.targetName = names.targetName;
  state.outputs.emplace(job.ArchiveName, TargetExtension(job.Type));
  // The archive folder stays open for the whole run: the lock, the log and
  // the target are made inside it, never again by path.
  int opened = makeFolder ? platform::Fs().CreateFolders(job.ArchiveFolder).code() : 0;
  if (opened == 0)
    opened = platform::Fs().OpenFolder(job.ArchiveFolder, &state.archiveFolder).code();
  if (opened == 0 || (!makeFolder && opened == ENOENT)) return true;
  return Refuse(state, FolderRefusal(job.ArchiveFolder, opened), RunOutcome::kAborted);
}

// Phase 1: take the job's lock in its archive folder.
bool RunDriver::TakeTheLock(RunState& state) {
  // From the lock on, a signal cancels the run, which then cleans up.
  platform::KeepRunningOnInterrupt();
  const std::wstring lockName = state.outputs->LockName();
  if (const int locked = state.lock.TryLock(state.archiveFolder, lockName); locked != 0) {
    const std::wstring lockPath = state.archiveFolder.path() + lockName;
    state.report.alreadyRunning = locked == EWOULDBLOCK;
    return Refuse(state,
                  locked == EWOULDBLOCK
                      ? PrintFEx(texts_.GetText(L"job_running"), {lockPath})
                      : PrintFEx(texts_.GetText(L"lock_failed"),
                                 {lockPath, ErrorText(static_cast<uint32_t>(locked))}),
                  RunOutcome::kAborted);
  }
  state.run.archiveFolder = &state.archiveFolder;
  return true;
}

// Phase 2: open the log, sweep what killed runs left, and fill the scan from
// the job.
void RunDriver::PrepareTheScan(RunState& state) {
  const BackupJob& job = state.job;
  log_.OpenLog(state.archiveFolder, state.outputs->LogName());
  for (const BackupJob::WrongType& wrong : job.wrongTypes) {
    const std::wstring line =
        PrintFEx(texts_.GetText(L"job_member_wrong_type"), {wrong.member, wrong.readAs});
    log_.WriteLogLine(line);
    host_.ShowWarning(line);
  }
  SweepLeftovers(state.archiveFolder, *state.outputs, log_);
  FillTheScan(state);
}

// The scan from the job, the change catalog and the run's own outputs, as a
// run and a dry run need them; false when a cancel came meanwhile.
bool RunDriver::FillTheScan(RunState& state) {
  const BackupJob& job = state.job;
  ScanContext& scan = state.scan;
  if (job.ArchiveBitGet && state.archiveFolder.IsOpen()) {
    // An archive of the same name is replaced when this run succeeds; what
    // it held must then go into the new one. A folder target is updated.
    const std::wstring replaced = state.outputs->isFolderTarget() ? L"" : state.run.targetName;
    // An empty catalog: every file counts as changed, and the run records
    // them all afresh.
    state.fullByPolicy = FullBackupDue(state.archiveFolder, *state.outputs, job.FullEvery, log_);
    if (!state.fullByPolicy) {
      LoadCatalog(state.archiveFolder, *state.outputs, replaced, &state.catalog, log_);
    }
    scan.catalog = &state.catalog;
  }
  if (!FillScanFromJob(job, scan, [this] {
        Pump();
        return runCancelled.load();
      })) {
    return false;
  }
  if (state.archiveFolder.IsOpen()) {
    scan.ownOutputFolder = state.archiveFolder.id();
    scan.isOwnOutput = [&outputs = *state.outputs](std::wstring_view name) {
      return outputs.IsOwnOutput(name);
    };
  }
  state.run.password = job.ArchivePassword;
  state.run.testFiles = job.TestFiles;
  state.run.pump = [this] { Pump(); };
  // A cancel stops the walk too: nothing it would still find is wanted.
  scan.stop = &runCancelled;
  return true;
}

// Phase 3: walk the sources; an include folder that cannot be read fails the
// run.
void RunDriver::ScanTheSources(RunState& state) {
  if (runCancelled) return;
  host_.SetProgressMarquee(true);
  host_.SetStatusLines(L"", texts_.GetText(L"ui_collect_data"), L"...");
  ScanSources(state.scan, [this] { Pump(); });
  Pump();
  // A source that is not there (an unmounted disk, a typo) must not give a
  // backup without it in place of a good one.
  for (const IncludeFailure& failure : state.scan.includeFailures) {
    std::wstring& text = state.run.failureText;
    if (!text.empty()) text += L"\n";
    text += PrintFEx(texts_.GetText(L"include_folder_failed"),
                     {failure.path, ErrorText(static_cast<uint32_t>(failure.error))});
    runCancelled = true;
  }
}

// An include folder that is there but empty (the mount point of a disk that
// is not mounted) must not turn the archive a full run replaces into an empty
// one. Runs that take only changed files, and dated ones, replace nothing.
bool RunDriver::KeepsTheOlderArchive(RunState& state) {
  const BackupJob& job = state.job;
  if (job.AddDate || job.ArchiveBitGet || state.scan.CountFiles() != 0 ||
      !state.archiveFolder.IsOpen()) {
    return false;
  }
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::Fs().ReadDirectory(state.archiveFolder, &entries).ok()) return false;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name != state.run.targetName || (entry.attributes & platform::kAttributeDirectory)) {
      continue;
    }
    // The manifest says; an archive made before manifests is asked itself.
    const std::optional<bool> listed =
        ManifestListsFiles(state.archiveFolder, entries, state.run.targetName);
    if (!(listed ? *listed : state.target->HoldsFiles(state.archiveFolder, entry))) return false;
    state.run.failureText =
        PrintFEx(texts_.GetText(L"no_files_archive_kept"), {state.run.archivePath});
    log_.WriteLogLine(state.run.failureText);
    state.report.result = kResultNoFilesFound;
    runCancelled = true;
    return true;
  }
  return false;
}

// What the target asks for once it holds every file: the manifest of this
// run, kept for the copy beside the target.
void RunDriver::PrepareTheManifest(RunState& state) {
  if (runCancelled) return;
  const BackupJob& job = state.job;
  ManifestHeader& header = state.manifestHeader;
  header.job = platform::ToUtf8(jobPath_);
  header.archive = platform::ToUtf8(state.run.targetName);
  header.id = NewArchiveId();
  header.time = platform::ToUtf8(IsoLocalTime());
  if (state.scan.catalog) {
    std::wstring base;
    state.keptLines = KeptFileLines(state.archiveFolder, state.catalog, header, log_, &base);
    header.base = platform::ToUtf8(base);
  }
  // A run that needs no earlier archive is a full one, whatever it took.
  header.kind = header.base.empty() ? "full" : job.ArchiveBitSet ? "incremental" : "differential";
  // Made once; the check after the backup asks again.
  state.run.manifest = [this, &state](ManifestSpool** spool) {
    if (!state.manifest) {
      state.manifest.emplace(state.archiveFolder, state.run.targetName);
      platform::Status written = state.manifest->Begin();
      if (written.ok()) {
        written = WriteManifest(state.manifestHeader, state.run, state.keptLines, *state.manifest);
      }
      state.keptLines.clear();
      if (!written.ok()) {
        log_.WriteLogFormat(L"Write manifest %s%s%s failed.%s", state.archiveFolder.path(),
                            state.run.targetName, kManifestSuffix,
                            ErrorText(static_cast<uint32_t>(written.code())));
        state.manifest.reset();
        return written;
      }
    }
    *spool = &*state.manifest;
    return platform::Status();
  };
}

// Phase 4: totals, room, the target itself, and an archive put in place.
void RunDriver::WriteTheTarget(RunState& state) {
  BackupClass& run = state.run;
  if (!runCancelled && !KeepsTheOlderArchive(state)) {
    host_.SetProgressMarquee(false);
    host_.ShowProgressPercent(true);
    host_.SetProgressRange(state.scan.CountFiles());
    host_.SetProgressPosition(0);
    state.report.targetBegun = true;
    state.report.result =
        run.Run(&state.scan, static_cast<int32_t>(state.job.ArchiveCompLevel), *state.target);
    if (state.report.result != 0) runCancelled = true;
    Pump();
    if (!runCancelled && state.job.TestFiles) VerifyTheTarget(state);
    if (!runCancelled && state.outputs->isFolderTarget()) WriteTheCopyToDisk(state);
  }
  if (!runCancelled && !run.workName.empty()) {
    if (const int error =
            platform::Fs()
                .Rename(state.archiveFolder, run.workName, state.archiveFolder, run.targetName)
                .code();
        error != 0) {
      run.failureText = FormatText(L"Replace %s failed.%s", run.archivePath,
                                   ErrorText(static_cast<uint32_t>(error)));
      log_.WriteLogLine(run.failureText);
      state.report.result = static_cast<uint32_t>(error);
      runCancelled = true;
    }
  }
  if (!runCancelled && state.manifest) {
    // The copy beside the target also says how its check went, which the
    // one inside could not know when it was written.
    std::string firstLine;
    if (state.report.verification != Verification::kNone) {
      state.manifestHeader.check =
          state.report.verification == Verification::kPassed ? "passed" : "failed";
      AppendHeaderLine(state.manifestHeader, &firstLine);
    }
    if (const platform::Status saved = state.manifest->SaveBeside(firstLine); !saved.ok()) {
      log_.WriteLogFormat(L"Write manifest %s%s%s failed.%s", state.archiveFolder.path(),
                          run.targetName, kManifestSuffix,
                          ErrorText(static_cast<uint32_t>(saved.code())));
      ++run.errorCount;
    }
  }
  host_.SetProgressRange(100);
  host_.SetProgressPosition(100);
}

// Reads the target back before an archive replaces an older one. An archive
// that fails is not used: the older one stays, and the log with the evidence.
void RunDriver::VerifyTheTarget(RunState& state) {
  BackupClass& run = state.run;
  run.verifyTemplate = texts_.GetText(L"ui_verify_files");
  run.verifiedFiles = 0;
  host_.SetProgressPosition(0);
  const auto progress = run.progressCallback;
  run.progressCallback = [](BackupClass* counted) { return counted->UpdateVerifyProgress(); };
  const TargetCheck check = state.target->Verify(run);
  run.UpdateVerifyProgress();
  run.progressCallback = progress;
  if (runCancelled) return;
  RunReport& report = state.report;
  report.verification = check.passed() ? Verification::kPassed : Verification::kFailed;
  report.verifiedFiles = check.checked;
  report.verifyFailures = check.failed + (check.unreadable.empty() ? 0 : 1);
  if (!check.unreadable.empty()) {
    log_.WriteLogFormat(L"Check of %s failed: %s", run.archivePath, check.unreadable);
  }
  log_.WriteLogFormat(L"Check of %s: %s read back, %lu failed.", run.archivePath,
                      CountOf(check.checked, L"file", L"files"), report.verifyFailures);
  run.errorCount += report.verifyFailures;
  // A new folder copy that fails stands like an updated one, its failed
  // files said and counted: it replaces nothing.
  if (!check.passed() && !state.outputs->isFolderTarget()) {
    run.failureText = PrintFEx(texts_.GetText(L"verify_failed"), {run.archivePath, run.logPath});
    report.result = kResultVerifyFailed;
    state.keepLog = true;
    runCancelled = true;
  }
}

// A folder copy's files are written without a sync each, as cp -a writes
// them; one sync of the file system puts them all on disk before the copy
// takes its name, its manifest says it is complete or the catalog vouches
// for it (an archive is synced before it is put in place). After a power
// loss no copy may stand that holds files the disk never got.
void RunDriver::WriteTheCopyToDisk(RunState& state) {
  BackupClass& run = state.run;
  // Gigabytes bound for a slow disk take minutes: the window keeps answering
  // meanwhile, and a cancel then leaves no new copy.
  std::future<int> synced = std::async(std::launch::async, [&state] {
    return platform::Fs().SyncFileSystem(state.archiveFolder).code();
  });
  WaitPumping(synced, [this] { Pump(); });
  const int error = synced.get();
  if (error == 0) return;
  run.failureText = FormatText(L"Write %s to disk failed.%s", run.archivePath,
                               ErrorText(static_cast<uint32_t>(error)));
  log_.WriteLogLine(run.failureText);
  state.report.result = static_cast<uint32_t>(error);
  state.keepLog = true;  // the copy goes; the log says why
  runCancelled = true;
}

// After a run that completed: the files it saved count as unchanged from now
// on. Without "take only changed files" the catalog starts afresh.
void RunDriver::RecordTheSavedFiles(RunState& state) {
  // A full run the job asked for resets a differential job's catalog too.
  if (runCancelled || !(state.job.ArchiveBitSet || state.fullByPolicy)) return;
  BackupClass& run = state.run;
  ChangeCatalog& catalog = state.catalog;
  catalog.KeepConfirmed();
  const auto saved = [&state, &run](const ChangeCatalog::FileVisit& visit) {
    std::string path;
    for (const ScannedFolder& folder : state.scan.results) {
      const std::string folderPath = platform::ToNative(folder.path);
      for (const ScannedFile& file : folder.files) {
        if (run.HasFailed(file)) continue;
        path = folderPath;
        path += folder.NativeName(file);
        visit(path, IdentityOf(file));
      }
    }
  };
  if (const int error =
          SaveCatalog(state.archiveFolder, *state.outputs, catalog, saved, run.targetName);
      error != 0) {
    // The backup stands; the next run just saves more than it had to.
    log_.WriteLogFormat(L"Write change catalog %s%s failed.%s", state.archiveFolder.path(),
                        state.outputs->CatalogName(), ErrorText(static_cast<uint32_t>(error)));
    ++run.errorCount;
  }
}

// After a run that completed: the backup is in place, so a cancel from here
// on stops only the step, never turns the run into a failed one.
void RunDriver::AfterTheRun(RunState& state) {
  if (!afterRun_ || runCancelled) return;
  const BackupClass& run = state.run;
  const bool whole = run.errorCount + state.scan.unreadableEntries == 0 &&
                     state.report.verification != Verification::kFailed &&
                     state.manifest.has_value();
  afterRun_(FinishedRun{state.job, state.archiveFolder, *state.outputs, state.manifestHeader.id,
                        whole, log_, host_, texts_, [this] { Pump(); }, state.report,
                        state.afterRunErrors});
  runCancelled = false;
}

// Phase 5: close the log, say how the run went, and remove what an aborted
// run left.
void RunDriver::Finish(RunState& state) {
  BackupClass& run = state.run;
  RunReport& report = state.report;
  const int logError = log_.CloseLog();
  // Folders that could not be read are errors of the run as much as files,
  // and so is a log that was asked for and could not be written.
  report.errorCount = run.errorCount + state.scan.unreadableEntries + state.afterRunErrors +
                      (logError != 0 ? 1 : 0);
  report.totalFiles = run.totalFiles;
  report.totalBytes = run.totalBytes;
  const uint32_t failed = run.errorCount;
  report.savedFiles = run.processedFiles >= failed ? run.processedFiles - failed : 0;
  state.scan.results.clear();

  if (runCancelled) {
    report.partKept = run.updatedInPlace;
    // A dropped archive or new copy saved nothing, however far it got.
    if (!report.partKept) report.savedFiles = 0;
    if (!run.failureText.empty()) host_.ShowMessage(run.failureText, true);
    if (!run.workName.empty()) RemoveOrSay(state, run.workName);
    if (logError == 0 && !state.keepLog) RemoveTheLog(state);
    report.outcome = RunOutcome::kAborted;
    return;
  }
  if (logError != 0) {
    host_.ShowMessage(PrintFEx(texts_.GetText(L"log_write_failed"),
                               {run.logPath, ErrorText(static_cast<uint32_t>(logError))}),
                      true);
  } else if (report.errorCount > 0) {
    const std::wstring question =
        PrintFEx(texts_.GetText(L"backup_error"), {FormatText(L"%lu", report.errorCount)});
    if (host_.AskYesNo(question, true)) host_.OpenWithDesktop(run.logPath);
  }
  report.outcome =
      report.errorCount > 0 ? RunOutcome::kCompletedWithErrors : RunOutcome::kCompleted;
  if (logError == 0 && log_.lineCount() == 0) RemoveTheLog(state);
}

// What a run leaves that it cannot remove is said, never silently kept: a
// temporary archive goes with the next run's sweep, a log stays as it is.
bool RunDriver::RemoveOrSay(RunState& state, const std::wstring& name) {
  if (const int error = platform::Fs().RemoveTree(state.archiveFolder, name).code();
      error != 0 && error != ENOENT) {
    host_.ShowWarning(FormatText(L"Remove %s%s failed.%s", state.archiveFolder.path(), name,
                                 ErrorText(static_cast<uint32_t>(error))));
    return false;
  }
  return true;
}

// A log that is gone is named nowhere: the summary, a notice or a mail that
// pointed at it would send the user to a file that is not there.
void RunDriver::RemoveTheLog(RunState& state) {
  if (RemoveOrSay(state, state.outputs->LogName())) state.report.logPath.clear();
}

void RunDriver::EndAfterException(RunState& state, const std::wstring& message) {
  BackupClass& run = state.run;
  state.scan.results.clear();
  // A half-written archive is worth nothing; an older one stays as it was.
  if (!run.workName.empty()) RemoveOrSay(state, run.workName);
  // The log keeps what it recorded, but an empty one goes like after any run.
  if (log_.CloseLog() == 0 && log_.lineCount() == 0) RemoveTheLog(state);
  host_.ShowMessage(message, true);
  state.report.outcome = RunOutcome::kAborted;
}

RunDriver MakeRunDriver(RunHost& host, const LanguageTable& texts,
                        const std::wstring& sevenZipLibrary) {
  RunDriver driver(host, texts, ProcessLog());
  driver.SetTarget(kJobTypeFolder, std::make_unique<FolderTarget>());
  driver.SetTarget(kJobTypeZip, std::make_unique<ZipTarget>());
  driver.SetTarget(kJobTypeSevenZip, std::make_unique<SevenZipTarget>(sevenZipLibrary));
  return driver;
}

}  // namespace kelvane
