#include "run/run_driver.h"

#include <exception>

#include "app/language_table.h"
#include "job/backup_job.h"
#include "job/json_document.h"
#include "platform/file_system.h"
#include "run/run_host.h"
#include "run/run_log.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"
#include "util/error_text.h"
#include "util/path_util.h"
#include "util/template_format.h"
#include "util/text_util.h"

namespace kelvane {

using vxstl::BackupClass;
using vxstl::runCancelled;

namespace {

constexpr wchar_t kDatePattern[] = L"_\?\?\?\?-\?\?-\?\?_\?\?-\?\?";

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::wstring::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The temporary file an archive is written to until the run has succeeded.
std::wstring WorkPathFor(const std::wstring& archivePath) {
  return FolderOf(archivePath) + L"." + FileNameOf(archivePath) + L".kvn-tmp";
}

// Names of this job's outputs in its archive folder, so that a run over a
// source that holds the target never backs up its own backups.
std::vector<std::wstring> OwnOutputNames(const BackupJob& job, const std::wstring& archivePath) {
  const std::wstring& name = job.ArchiveName;
  std::vector<std::wstring> names = {name + L".log"};
  if (job.Type == kJobTypeFolder) {
    names.push_back(name);
    names.push_back(name + kDatePattern);
  } else {
    const std::wstring file = FileNameOf(archivePath);
    const size_t dot = file.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? L"" : file.substr(dot);
    names.push_back(name + extension);
    names.push_back(name + kDatePattern + extension);
    names.push_back(L"." + name + L"*.kvn-tmp");
  }
  return names;
}

}  // namespace

TargetNames NameTarget(const BackupJob& job, const std::wstring& dateSuffix) {
  TargetNames names;
  names.archivePath = job.ArchiveFolder;
  AddBackslash(names.archivePath);
  names.archivePath += job.ArchiveName;
  names.logPath = names.archivePath + L".log";
  if (job.AddDate) names.archivePath += dateSuffix;
  switch (job.Type) {
    case kJobTypeFolder: AddBackslash(names.archivePath); break;
    case kJobTypeZip: names.archivePath += L".zip"; break;
    case kJobTypeSevenZip: names.archivePath += L".7z"; break;
    default: break;
  }
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

void RunDriver::SetTargetStep(uint32_t jobType, vxstl::TargetStep step, bool writesArchive) {
  targets_[jobType] = Target{std::move(step), writesArchive};
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
  if (!job.ReadJob(jobDocument)) {
    host_.ShowMessage(texts_.GetText(L"load_backup_failed"), true);
    report.outcome = RunOutcome::kJobUnreadable;
    return report;
  }

  const TargetNames names = NameTarget(job, DateSuffix());
  run.archivePath = report.archivePath = names.archivePath;
  run.logPath = report.logPath = names.logPath;
  run.targetType = static_cast<int32_t>(job.Type);
  const auto target = targets_.find(job.Type);
  if (target == targets_.end()) {
    // A run that did nothing must not look like a backup that succeeded.
    host_.ShowMessage(FormatText(L"Unknown target type %lu in the job.", job.Type), true);
    report.outcome = RunOutcome::kAborted;
    return report;
  }
  if (target->second.writesArchive) run.workPath = WorkPathFor(run.archivePath);

  try {
    scan.options |= ScanOptionsFor(job);
    // The log lives in the archive folder; make it now so the first run of a
    // job has a log too.
    if (!job.ArchiveFolder.empty() && !platform::Fs().Exists(job.ArchiveFolder)) {
      platform::Fs().CreateFolders(job.ArchiveFolder);
    }
    ProcessLog().OpenLog(run.logPath);

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
    for (std::wstring folder : job.IncludeFolders) {
      AddBackslash(folder);
      scan.includeFolders.push_back(std::move(folder));
    }
    scan.ownOutputFolder = job.ArchiveFolder;
    scan.ownOutputNames = OwnOutputNames(job, run.archivePath);
    run.password = job.ArchivePassword;
    run.pump = [this] { Pump(); };
    run.sevenZipLibrary = sevenZipLibrary_;

    host_.SetProgressMarquee(true);
    host_.SetStatusLines(L"", texts_.GetText(L"ui_collect_data"), L"...");
    ScanSources(scan, [this] { Pump(); });
    Pump();

    if (!runCancelled) {
      host_.SetProgressMarquee(false);
      host_.SetProgressRange(scan.CountFiles());
      host_.SetProgressPosition(0);
      report.result = run.Run(&scan, static_cast<int32_t>(job.ArchiveCompLevel),
                              target->second.step);
      if (report.result != 0) runCancelled = true;
      Pump();
    }
    if (!runCancelled && !run.workPath.empty()) {
      if (const int error = platform::Fs().Replace(run.workPath, run.archivePath); error != 0) {
        run.failureText = FormatText(L"Replace %s failed.%s", run.archivePath,
                                     ErrorText(static_cast<uint32_t>(error)));
        ProcessLog().WriteLogLine(run.failureText);
        report.result = static_cast<uint32_t>(error);
        runCancelled = true;
      }
    }
    host_.SetProgressRange(100);
    host_.SetProgressPosition(100);
    ProcessLog().CloseLog();

    // Folders that could not be read are errors of the run as much as files.
    report.errorCount = run.errorCount + scan.unreadableFolders;
    report.totalFiles = run.totalFiles;
    report.totalBytes = run.totalBytes;
    const uint32_t failed = run.errorCount;
    report.savedFiles = run.processedFiles >= failed ? run.processedFiles - failed : 0;
    scan.results.clear();

    if (runCancelled) {
      if (!run.failureText.empty()) host_.ShowMessage(run.failureText, true);
      if (!run.workPath.empty()) platform::Fs().Remove(run.workPath);
      platform::Fs().Remove(run.logPath);
      report.outcome = RunOutcome::kAborted;
    } else if (report.errorCount > 0) {
      host_.OfferLog(PrintFEx(texts_.GetText(L"backup_error"),
                              {FormatText(L"%lu", report.errorCount)}),
                     report.errorCount, run.logPath);
      report.outcome = RunOutcome::kCompletedWithErrors;
    } else {
      report.outcome = RunOutcome::kCompleted;
    }
    if (FileSize(run.logPath) == 0) platform::Fs().Remove(run.logPath);
  } catch (const std::exception& e) {
    EndAfterException(run, scan);
    host_.ShowMessage(FormatText(L"Abgefangene Exception: %S", std::string(e.what())), true);
    report.outcome = RunOutcome::kAborted;
  } catch (...) {
    EndAfterException(run, scan);
    host_.ShowMessage(L"Abgefangene Exception.", true);
    report.outcome = RunOutcome::kAborted;
  }
  return report;
}

void RunDriver::EndAfterException(vxstl::BackupClass& run, ScanContext& scan) {
  scan.results.clear();
  // A half-written archive is worth nothing; an older one stays as it was.
  if (!run.workPath.empty()) platform::Fs().Remove(run.workPath);
  // The log keeps what it recorded, but an empty one goes like after any run.
  ProcessLog().CloseLog();
  if (FileSize(run.logPath) == 0) platform::Fs().Remove(run.logPath);
}

RunDriver MakeRunDriver(RunHost& host, const LanguageTable& texts) {
  RunDriver driver(host, texts);
  driver.SetTargetStep(kJobTypeFolder, [](BackupClass& run) { return run.RunFolderTarget(); },
                       false);
  driver.SetTargetStep(kJobTypeZip, [](BackupClass& run) { return run.RunZipTarget(); }, true);
  driver.SetTargetStep(kJobTypeSevenZip, [](BackupClass& run) { return run.RunSevenZipTarget(); },
                       true);
  return driver;
}

}  // namespace kelvane
