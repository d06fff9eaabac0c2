#include "run/run_driver.h"

#include <cerrno>
#include <exception>

#include "language/language_table.h"
#include "job/backup_job.h"
#include "job/json_document.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "run/output_names.h"
#include "run/run_host.h"
#include "log/run_log.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"
#include "util/error_text.h"
#include "util/path_util.h"
#include "util/template_format.h"
#include "util/text_util.h"
#include "util/time_estimate.h"

namespace kelvane {

using vxstl::BackupClass;
using vxstl::runCancelled;

namespace {

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

const wchar_t* ExtensionOf(uint32_t type) {
  switch (type) {
    case kJobTypeZip: return L".zip";
    case kJobTypeSevenZip: return L".7z";
    default: return L"";
  }
}

// A name that stays inside the archive folder, whatever is appended to it.
bool IsUsableArchiveName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(std::wstring_view(L"/\0", 2)) == std::wstring::npos;
}

bool IsRegularFile(const platform::DirectoryEntry& entry) {
  constexpr uint32_t kNotRegular = platform::kAttributeDirectory |
                                   platform::kAttributeReparsePoint | platform::kAttributeDevice;
  return entry.error == 0 && (entry.attributes & kNotRegular) == 0;
}

// Removes what killed runs of this job left: temporary archives in the archive
// folder, temporary copies in the top folders of folder targets. Only names of
// the program's own scheme, and only while the job's lock is held.
void SweepLeftovers(const platform::Folder& archiveFolder, const OutputNames& outputs) {
  platform::FileSystem& fs = platform::Fs();
  auto remove = [&fs](const platform::Folder& folder, const std::wstring& name) {
    if (fs.RemoveFile(folder, name) == 0) {
      ProcessLog().WriteLogFormat(L"Removed %s%s, left by an earlier run that did not end.",
                                  folder.path(), name);
    }
  };
  std::vector<platform::DirectoryEntry> entries;
  if (fs.ReadDirectory(archiveFolder, &entries) != 0) return;
  for (const platform::DirectoryEntry& entry : entries) {
    if (IsRegularFile(entry) && outputs.IsTemporary(entry.name)) remove(archiveFolder, entry.name);
    const bool plainFolder = (entry.attributes & platform::kAttributeDirectory) &&
                             !(entry.attributes & platform::kAttributeReparsePoint);
    if (!outputs.isFolderTarget() || !plainFolder || !outputs.IsTarget(entry.name)) continue;
    platform::Folder target;
    std::vector<platform::DirectoryEntry> inside;
    if (fs.OpenSubfolder(archiveFolder, entry.name, &entry.id, &target) != 0 ||
        fs.ReadDirectory(target, &inside) != 0) {
      continue;
    }
    for (const platform::DirectoryEntry& file : inside) {
      if (IsRegularFile(file) && platform::IsTemporaryName(file.name, L"")) remove(target, file.name);
    }
  }
}

}  // namespace

TargetNames NameTarget(const BackupJob& job, const std::wstring& dateSuffix) {
  TargetNames names;
  names.archivePath = job.ArchiveFolder;
  AddBackslash(names.archivePath);
  names.logPath = names.archivePath + job.ArchiveName + L".log";
  names.targetName = job.ArchiveName;
  if (job.AddDate) names.targetName += dateSuffix;
  names.targetName += ExtensionOf(job.Type);
  names.archivePath += names.targetName;
  if (job.Type == kJobTypeFolder) AddBackslash(names.archivePath);
  return names;
}

uint32_t ScanOptionsFor(const BackupJob& job) {
  uint32_t options = kScanCheckProcessedFolders | kScanInTasks;
  if (job.SkipFilesWithoutExtension) options |= kScanSkipFilesWithoutExtension;
  if (job.LogFolder) options |= kScanLogFolder;
  if (job.LogFiles) options |= kScanLogFiles;
  if (job.LogBlackList) options |= kScanLogBlackList;
  if (job.LogErrors) options |= kScanLogErrors;
  if (job.LogRemoveLog) options |= kScanLogRemoveLog;
  if (job.ArchiveBitSet) options |= kScanArchiveBitSet;
  if (job.ArchiveBitGet) options |= kScanArchiveBitGet;
  if (job.IncludeSystemFiles) options |= kScanIncludeSystemFiles;
  if (job.IncludeHiddenFiles) options |= kScanIncludeHiddenFiles;
  return options;
}

RunDriver::RunDriver(RunHost& host, const LanguageTable& texts) : host_(host), texts_(texts) {}

void RunDriver::SetTargetStep(uint32_t jobType, vxstl::TargetStep step) {
  targets_[jobType] = std::move(step);
}

void RunDriver::Pump() {
  host_.PumpMessages();
  if (!cancelLogged_ && host_.CancelConfirmed()) {
    runCancelled = true;
    ProcessLog().WriteLogLine(L"*** Userexit.");
    cancelLogged_ = true;
  }
}

RunReport RunDriver::Run(const JsonDocument& jobDocument) {
  RunReport report;
  ScanContext scan;
  BackupClass run(host_, texts_);
  BackupJob job;
  runCancelled = false;
  cancelLogged_ = false;
  auto refuse = [&](const std::wstring& message, RunOutcome outcome) {
    host_.ShowMessage(message, true);
    report.outcome = outcome;
    return report;
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

  const TargetNames names = NameTarget(job, DateSuffix());
  run.archivePath = report.archivePath = names.archivePath;
  run.logPath = report.logPath = names.logPath;
  run.targetName = names.targetName;
  run.targetType = static_cast<int32_t>(job.Type);
  const auto target = targets_.find(job.Type);
  if (target == targets_.end()) {
    // A run that did nothing must not look like a backup that succeeded.
    return refuse(FormatText(L"Unknown target type %lu in the job.", job.Type),
                  RunOutcome::kAborted);
  }

  // The archive folder, made when missing, stays open for the whole run: the
  // lock, the log and the target are made inside it, never again by path.
  platform::Folder archiveFolder;
  int opened = platform::Fs().CreateFolders(job.ArchiveFolder);
  if (opened == 0) opened = platform::Fs().OpenFolder(job.ArchiveFolder, &archiveFolder);
  if (opened != 0) {
    return refuse(FormatText(L"Create Folder %s failed.%s", job.ArchiveFolder,
                             ErrorText(static_cast<uint32_t>(opened))),
                  RunOutcome::kAborted);
  }
  const OutputNames outputs(job.ArchiveName, ExtensionOf(job.Type));
  platform::FileLock lock;
  if (const int locked = lock.TryLock(archiveFolder, outputs.LockName()); locked != 0) {
    const std::wstring lockPath = archiveFolder.path() + outputs.LockName();
    return refuse(locked == EWOULDBLOCK
                      ? PrintFEx(texts_.GetText(L"job_running"), {lockPath})
                      : PrintFEx(texts_.GetText(L"lock_failed"),
                                 {lockPath, ErrorText(static_cast<uint32_t>(locked))}),
                  RunOutcome::kAborted);
  }
  run.archiveFolder = &archiveFolder;

  try {
    scan.options |= ScanOptionsFor(job);
    ProcessLog().OpenLog(archiveFolder, outputs.LogName());
    SweepLeftovers(archiveFolder, outputs);

    if (!job.WhiteList.empty()) {
      ScanContext::SetFileFilter(scan.whiteListSpec, ReplaceAll(job.WhiteList, L"\r\n", L";"));
    }
    if (!job.BlackList.empty()) {
      ScanContext::SetFileFilter(scan.blackListSpec, ReplaceAll(job.BlackList, L"\r\n", L";"));
    }
    const std::wstring excludes = ReplaceAll(job.ExcludeFolders, L"\r\n", L"\t");
    for (size_t pos = 0; pos <= excludes.size();) {
      size_t end = excludes.find(L'\t', pos);
      if (end == std::wstring::npos) end = excludes.size();
      if (end > pos) scan.AddExcludeFolder(std::wstring_view(excludes).substr(pos, end - pos));
      pos = end + 1;
    }
    for (const std::wstring& folder : job.IncludeFolders) {
      // An empty entry names nothing; any other is made absolute and normal,
      // so no stored name can start at the root or climb out with "..".
      if (folder.empty()) continue;
      std::wstring normal = NormalPath(folder);
      if (normal.empty()) normal = folder;
      AddBackslash(normal);
      scan.includeFolders.push_back(std::move(normal));
    }
    scan.ownOutputFolder = archiveFolder.id();
    scan.isOwnOutput = [&outputs](std::wstring_view name) { return outputs.IsOwnOutput(name); };
    run.password = job.ArchivePassword;
    run.pump = [this] { Pump(); };
    run.sevenZipLibrary = sevenZipLibrary_;

    host_.SetProgressMarquee(true);
    host_.SetStatusLines(L"", texts_.GetText(L"ui_collect_data"), L"...");
    ScanSources(scan, [this] { Pump(); });
    Pump();

    // A source that is not there (an unmounted disk, a typo) must not give a
    // backup without it in place of a good one.
    for (const IncludeFailure& failure : scan.includeFailures) {
      if (!run.failureText.empty()) run.failureText += L"\n";
      run.failureText += PrintFEx(texts_.GetText(L"include_folder_failed"),
                                  {failure.path, ErrorText(static_cast<uint32_t>(failure.error))});
      runCancelled = true;
    }

    if (!runCancelled) {
      host_.SetProgressMarquee(false);
      host_.SetProgressRange(scan.CountFiles());
      host_.SetProgressPosition(0);
      report.result = run.Run(&scan, static_cast<int32_t>(job.ArchiveCompLevel),
                              target->second);
      if (report.result != 0) runCancelled = true;
      Pump();
    }
    if (!runCancelled && !run.workName.empty()) {
      if (const int error = platform::Fs().Rename(archiveFolder, run.workName, archiveFolder,
                                                  run.targetName);
          error != 0) {
        run.failureText = FormatText(L"Replace %s failed.%s", run.archivePath,
                                     ErrorText(static_cast<uint32_t>(error)));
        ProcessLog().WriteLogLine(run.failureText);
        report.result = static_cast<uint32_t>(error);
        runCancelled = true;
      }
    }
    host_.SetProgressRange(100);
    host_.SetProgressPosition(100);
    const int logError = ProcessLog().CloseLog();
    const bool logHasLines = ProcessLog().lineCount() > 0;

    // Folders that could not be read are errors of the run as much as files,
    // and so is a log that was asked for and could not be written.
    report.errorCount = run.errorCount + scan.unreadableEntries + (logError != 0 ? 1 : 0);
    report.totalFiles = run.totalFiles;
    report.totalBytes = run.totalBytes;
    const uint32_t failed = run.errorCount;
    report.savedFiles = run.processedFiles >= failed ? run.processedFiles - failed : 0;
    scan.results.clear();

    if (runCancelled) {
      if (!run.failureText.empty()) host_.ShowMessage(run.failureText, true);
      if (!run.workName.empty()) platform::Fs().RemoveFile(archiveFolder, run.workName);
      if (logError == 0) platform::Fs().RemoveFile(archiveFolder, outputs.LogName());
      report.outcome = RunOutcome::kAborted;
    } else if (logError != 0) {
      host_.ShowMessage(PrintFEx(texts_.GetText(L"log_write_failed"),
                                 {run.logPath, ErrorText(static_cast<uint32_t>(logError))}),
                        true);
      report.outcome = RunOutcome::kCompletedWithErrors;
    } else if (report.errorCount > 0) {
      host_.OfferLog(PrintFEx(texts_.GetText(L"backup_error"),
                              {FormatText(L"%lu", report.errorCount)}),
                     report.errorCount, run.logPath);
      report.outcome = RunOutcome::kCompletedWithErrors;
    } else {
      report.outcome = RunOutcome::kCompleted;
    }
    if (logError == 0 && !logHasLines) platform::Fs().RemoveFile(archiveFolder, outputs.LogName());
  } catch (const std::exception& e) {
    EndAfterException(run, scan, outputs.LogName());
    host_.ShowMessage(FormatText(L"Abgefangene Exception: %S", std::string(e.what())), true);
    report.outcome = RunOutcome::kAborted;
  } catch (...) {
    EndAfterException(run, scan, outputs.LogName());
    host_.ShowMessage(L"Abgefangene Exception.", true);
    report.outcome = RunOutcome::kAborted;
  }
  return report;
}

void RunDriver::EndAfterException(vxstl::BackupClass& run, ScanContext& scan,
                                  const std::wstring& logName) {
  scan.results.clear();
  // A half-written archive is worth nothing; an older one stays as it was.
  if (!run.workName.empty()) platform::Fs().RemoveFile(*run.archiveFolder, run.workName);
  // The log keeps what it recorded, but an empty one goes like after any run.
  if (ProcessLog().CloseLog() == 0 && ProcessLog().lineCount() == 0) {
    platform::Fs().RemoveFile(*run.archiveFolder, logName);
  }
}

RunDriver MakeRunDriver(RunHost& host, const LanguageTable& texts) {
  RunDriver driver(host, texts);
  driver.SetTargetStep(kJobTypeFolder, [](BackupClass& run) { return run.RunFolderTarget(); });
  driver.SetTargetStep(kJobTypeZip, [](BackupClass& run) { return run.RunZipTarget(); });
  driver.SetTargetStep(kJobTypeSevenZip, [](BackupClass& run) { return run.RunSevenZipTarget(); });
  return driver;
}

}  // namespace kelvane
