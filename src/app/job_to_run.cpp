#include "app/job_to_run.h"

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/paths.h"
#include "profile/profile_store.h"
#include "run/output_names.h"
#include "run/run_summary.h"
#include "util/error_text.h"
#include "util/path_util.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// Whether `summaryPath` names one of the run's own outputs (its archive, a
// dated one, its log, catalog, lock or temporary files), which the summary
// would replace.
bool NamesAnOutput(const BackupJob& job, const std::wstring& summaryPath) {
  if (summaryPath.empty()) return false;
  const size_t slash = summaryPath.rfind(L'/');
  platform::Folder summaryFolder, archiveFolder;
  if (!platform::Fs().OpenFolder(summaryPath.substr(0, slash + 1), &summaryFolder).ok() ||
      !platform::Fs()
           .OpenFolder(NormalPath(platform::AbsolutePath(job.ArchiveFolder)), &archiveFolder)
           .ok() ||
      summaryFolder.id() != archiveFolder.id()) {
    return false;
  }
  return OutputNames(job.ArchiveName, TargetExtension(job.Type))
      .IsOwnOutput(summaryPath.substr(slash + 1));
}

}  // namespace

bool WriteSummaryIfAsked(const std::wstring& path, const RunSummary& summary,
                         const LanguageTable& texts) {
  if (path.empty()) return true;
  if (const platform::Status written = WriteRunSummary(path, summary); !written.ok()) {
    PrintError(PrintFEx(texts.GetText(L"console_summary_failed"), {path}) +
               ErrorText(static_cast<uint32_t>(written.code())));
    return false;
  }
  return true;
}

std::optional<int> LoadJobToRun(const CommandContext& context, bool isDryRun, bool inWindow,
                                JobToRun* job) {
  const LanguageTable& texts = context.texts;
  job->path = GivenOrRecentJob(context);
  std::wstring failure;
  if (job->path.empty()) {
    failure = NoJobText(context);
  } else {
    // Absolute, so the recent file still names this job when a scheduler or
    // the desktop starts the program from another folder.
    job->path = platform::AbsolutePath(job->path);
    if (!isDryRun) context.profile.WriteString("Main", "RecentFile", job->path);
    if (const platform::Status loaded = job->document.LoadFile(job->path); !loaded.ok()) {
      failure = LoadFailureText(job->document, loaded, job->path, texts);
    } else if (!job->settings.ReadJob(job->document)) {
      // JSON, but no job (no "Backup" object, a list missing): said with the
      // file's name, as a file that is no JSON is.
      failure = texts.GetText(L"load_backup_failed") + L" (" + job->path + L")";
    }
  }
  job->summaryPath =
      context.args.Has(L"summary") ? platform::AbsolutePath(context.args.Value(L"summary")) : L"";
  if (!failure.empty()) {
    ReportNotLoaded(failure, inWindow);
    RunSummary unread;
    unread.jobPath = job->path.empty() ? context.args.Value(L"file") : job->path;
    unread.start = unread.end = IsoLocalTime();
    unread.report.outcome = RunOutcome::kJobUnreadable;
    unread.exitStatus = kExitJobUnreadable;
    WriteSummaryIfAsked(job->summaryPath, unread, texts);
    // On a desktop the editor comes up instead of the run, on a new job.
    if (inWindow) RunEditor(L"", texts, context.profile);
    return kExitJobUnreadable;
  }
  if (NamesAnOutput(job->settings, job->summaryPath)) {
    PrintError(PrintFEx(texts.GetText(L"console_summary_is_output"), {job->summaryPath}));
    return kExitJobUnreadable;
  }
  return std::nullopt;
}

}  // namespace kelvane
