#include "app/kelvane_app.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "app/command_line.h"
#include "app/job_commands.h"
#include "job/backup_job.h"
#include "job/job_edits.h"
#include "job/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/console_run_host.h"
#include "run/output_names.h"
#include "run/run_driver.h"
#include "run/run_summary.h"
#include "ui/compress_dialog.h"
#include "ui/dialog_services.h"
#include "ui/kelvane_document.h"
#include "ui/window_session.h"
#include "util/byte_size.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/line_escape.h"
#include "util/path_util.h"
#include "util/result_codes.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

void PrintError(const std::wstring& message) {
  std::fprintf(stderr, "kelvane: %s\n", platform::ToUtf8(message).c_str());
}

void PrintUsage(std::FILE* out, const LanguageTable& texts) {
  std::fprintf(out, "%s\n", platform::ToUtf8(texts.GetText(L"console_usage")).c_str());
}

// A summary that cannot be written is said, and is an error of the run: a
// monitor would read the previous run's summary as this one's. False then.
bool WriteSummaryIfAsked(const std::wstring& path, const RunSummary& summary,
                         const LanguageTable& texts) {
  if (path.empty()) return true;
  if (const uint32_t error = WriteRunSummary(path, summary); error != 0) {
    PrintError(PrintFEx(texts.GetText(L"console_summary_failed"), {path}) + ErrorText(error));
    return false;
  }
  return true;
}

// Whether `summaryPath` names one of the run's own outputs (its archive, a
// dated one, its log, catalog, lock or temporary files), which the summary
// would replace.
bool NamesAnOutput(const JsonDocument& jobDocument, const std::wstring& summaryPath) {
  BackupJob job;
  if (summaryPath.empty() || !job.ReadJob(jobDocument)) return false;
  const size_t slash = summaryPath.rfind(L'/');
  platform::Folder summaryFolder, archiveFolder;
  if (platform::Fs().OpenFolder(summaryPath.substr(0, slash + 1), &summaryFolder) != 0 ||
      platform::Fs().OpenFolder(NormalPath(platform::AbsolutePath(job.ArchiveFolder)),
                                &archiveFolder) != 0 ||
      summaryFolder.id() != archiveFolder.id()) {
    return false;
  }
  return OutputNames(job.ArchiveName, TargetExtension(job.Type))
      .IsOwnOutput(summaryPath.substr(slash + 1));
}

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return kExitDone;
    case RunOutcome::kCompletedWithErrors: return kExitDoneWithErrors;
    case RunOutcome::kAborted: return kExitAborted;
    case RunOutcome::kJobUnreadable: return kExitJobUnreadable;
  }
  return kExitAborted;
}

RunReport RunInConsole(const JsonDocument& job, const LanguageTable& texts,
                       const std::wstring& sevenZipLibrary) {
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
  RunDriver driver = MakeRunDriver(host, texts, sevenZipLibrary);
  return driver.Run(job);
}

// The run in the run window (the toolkit is open).
// A run started from the command line may have nobody watching (a
// scheduler, a launcher): its window closes by itself at the end.
RunReport RunInWindow(const JsonDocument& job, const std::wstring& jobPath,
                      const LanguageTable& texts, const std::wstring& sevenZipLibrary,
                      bool minimize, ProfileStore& profile) {
  // The window's cancel is the run's cancel; a signal is one too.
  platform::CatchInterrupts();
  BackupJob read;
  read.ReadJob(job);
  ui::RunWindowOptions options;
  options.jobName = JobName(jobPath, read);
  options.minimize = minimize;
  options.closeWhenDone = true;
  options.profile = &profile;
  ui::CKelvaneCompressDlg window(nullptr, job, texts, sevenZipLibrary, options);
  window.ShowModal();
  // Closed before the run began: nothing was done, as after a cancel.
  return window.report() ? *window.report() : RunReport{};
}

// Runs the job, and writes the run's summary when one was asked for.
int RunJob(const JsonDocument& job, const std::wstring& jobPath, const LanguageTable& texts,
           const std::wstring& sevenZipLibrary, bool inWindow, bool minimize,
           const std::wstring& summaryPath, ProfileStore& profile) {
  RunSummary summary;
  summary.jobPath = jobPath;
  summary.start = IsoLocalTime();
  const int64_t started = platform::Time().MonotonicMicros();
  summary.report = inWindow ? RunInWindow(job, jobPath, texts, sevenZipLibrary, minimize, profile)
                            : RunInConsole(job, texts, sevenZipLibrary);
  summary.durationSeconds = static_cast<double>(platform::Time().MonotonicMicros() - started) / 1e6;
  summary.end = IsoLocalTime();
  summary.exitStatus = ExitStatusOf(summary.report.outcome);
  if (!WriteSummaryIfAsked(summaryPath, summary, texts) && summary.exitStatus == kExitDone) {
    return kExitDoneWithErrors;
  }
  return summary.exitStatus;
}

// The dry run: what a run of the job would save, one line a file on stdout
// ("+ PATH"; with -why also "- PATH<TAB>REASON" for what it leaves out), the
// names escaped as the log escapes them, so no name can make a line of its
// own; then the totals and whether the target has room.
int DryRun(const JsonDocument& job, const LanguageTable& texts, const std::wstring& sevenZipLibrary,
           bool why) {
  ConsoleRunHost host(stderr, false, true, texts);
  RunDriver driver = MakeRunDriver(host, texts, sevenZipLibrary);
  std::mutex outputLock;
  DryRunSink sink;
  sink.taken = [&outputLock](const std::wstring& path) {
    std::lock_guard<std::mutex> hold(outputLock);
    std::printf("+ %s\n", EscapedLine(path).c_str());
  };
  if (why) {
    sink.skipped = [&outputLock](const std::wstring& path, std::wstring_view reason) {
      std::lock_guard<std::mutex> hold(outputLock);
      std::printf("- %s\t%s\n", EscapedLine(path).c_str(), EscapedLine(reason).c_str());
    };
  }
  const DryRunResult result = driver.DryRun(job, sink);
  // Refused as the run would refuse it, with the run's message already said.
  if (result.outcome == RunOutcome::kAborted) return kExitAborted;
  if (result.outcome == RunOutcome::kJobUnreadable) {
    PrintError(texts.GetText(L"console_job_unreadable"));
    return kExitJobUnreadable;
  }
  std::wstring room;
  if (result.roomError != 0) {
    room = PrintFEx(texts.GetText(L"diskspace_unknown"), {result.roomQueried}) +
           ErrorText(static_cast<uint32_t>(result.roomError));
  } else {
    room = PrintFEx(texts.GetText(result.freeBytes >= result.bytes ? L"console_dry_run_room"
                                                                   : L"console_dry_run_no_room"),
                    {FormatByteSize(result.freeBytes), result.roomQueried});
  }
  std::printf("%s\n%s\n",
              platform::ToUtf8(PrintFEx(texts.GetText(L"console_dry_run_total"),
                                        {FormatText(L"%lu", result.files),
                                         FormatByteSize(result.bytes), result.target}))
                  .c_str(),
              platform::ToUtf8(room).c_str());
  return kExitDone;
}

// A job that cannot be run, said on stderr and, for a start from the desktop
// (a launcher or a file manager has no terminal to read), in a message box.
void ReportNotLoaded(const std::wstring& message, bool inWindow) {
  PrintError(message);
  if (inWindow) ui::Dialogs().ShowMessage(nullptr, message, true);
}

// The job editor as the main window, on the job at `path` or on a new one.
// A job that does not load is said, and the editor starts on a new job with
// no file name, so Save cannot overwrite the file that failed.
void RunEditor(const std::wstring& path, const LanguageTable& texts, ProfileStore& profile) {
  JsonDocument job;
  std::wstring jobPath;
  if (!path.empty()) {
    jobPath = platform::AbsolutePath(path);
    if (const uint32_t error = job.LoadFile(jobPath); error != 0) {
      ReportNotLoaded(LoadFailureText(job, error, jobPath, texts), true);
      job.Clear();
      jobPath.clear();
    } else if (BackupJob probe; !probe.ReadJob(job)) {
      ReportNotLoaded(texts.GetText(L"load_backup_failed") + L" (" + jobPath + L")", true);
      job.Clear();
      jobPath.clear();
    }
  }
  ui::CKelvaneDocument editor(nullptr, texts, profile, jobPath, &job);
  editor.ShowModal();
}

}  // namespace

int RunApplication(const std::vector<std::wstring>& tokens) {
  LanguageTable texts;
  texts.LoadLanguage([](const std::wstring& message) { PrintError(message); });
  // Until a run holds its job's lock there is nothing to undo: a signal ends
  // the program at once, even while a job of a million entries is read.
  platform::EndOnInterrupt(kExitAborted,
                           platform::ToNative(texts.GetText(L"console_interrupted_early")) + "\n");
  CommandLineArgs args;
  args.Parse(tokens);
  if (args.Has(L"help") || args.Has(L"h") || args.Has(L"?")) {
    PrintUsage(stdout, texts);
    return kExitDone;
  }
  if (const auto unknown = args.UnknownSwitches(); !unknown.empty()) {
    PrintError(PrintFEx(texts.GetText(L"console_unknown_switch"), {unknown.front()}));
    PrintUsage(stderr, texts);
    return kExitJobUnreadable;
  }
  const bool dryRun = args.Flag(L"dry-run");
  const bool start = args.Flag(L"start") || dryRun;

  ProfileStore profile;
  std::wstring path = args.Value(L"file");
  if (path.empty() && profile.GetInt("Main", "LoadRecentFile", 0) != 0) {
    path = profile.GetString("Main", "RecentFile", L"");
  }
  if (!path.empty() && !platform::Fs().Exists(path)) path.clear();

  // Commands on a job that need no window and run nothing.
  if (args.Has(L"set-password") || args.Has(L"schedule")) {
    // Only the job named here: never the recent one by surprise.
    const std::wstring given = args.Value(L"file");
    path = given;
    if (path.empty() || !platform::Fs().Exists(path)) {
      PrintError(texts.GetText(L"load_backup_failed") + L" (" +
                 (given.empty() ? texts.GetText(L"console_no_job_given")
                                : PrintFEx(texts.GetText(L"console_job_not_found"), {given})) +
                 L")");
      return kExitJobUnreadable;
    }
    path = platform::AbsolutePath(path);
    if (args.Has(L"set-password")) return SetJobPassword(path, texts);
    return ScheduleJob(path, args.Value(L"schedule"), texts);
  }

  const std::wstring display = platform::DesktopDisplay();
  const bool desktop = !display.empty() && !args.Flag(L"console") && !dryRun;
  std::unique_ptr<ui::WindowSession> session;
  if (desktop) {
    session = ui::WindowSession::Open();
    if (!session) PrintError(PrintFEx(texts.GetText(L"console_no_window"), {display}));
  }
  const bool inWindow = session != nullptr;

  if (!start) {
    // The job editor needs a desktop; without one there is nothing to do here.
    if (!inWindow) {
      PrintUsage(stderr, texts);
      return kExitJobUnreadable;
    }
    RunEditor(path, texts, profile);
    return kExitDone;
  }
  const std::wstring notLoaded = texts.GetText(L"load_backup_failed");
  JsonDocument jobDocument;
  std::wstring failure;
  if (path.empty()) {
    const std::wstring given = args.Value(L"file");
    failure = notLoaded + L" (" +
              (given.empty() ? texts.GetText(L"console_no_job_given")
                             : PrintFEx(texts.GetText(L"console_job_not_found"), {given})) +
              L")";
  } else {
    // Absolute, so the recent file still names this job when a scheduler or
    // the desktop starts the program from another folder.
    path = platform::AbsolutePath(path);
    // A dry run writes nothing at all, not even the recent job.
    if (!dryRun) profile.WriteString("Main", "RecentFile", path);
    if (const uint32_t error = jobDocument.LoadFile(path); error != 0) {
      failure = LoadFailureText(jobDocument, error, path, texts);
    }
  }
  // A path of our own: the run may change the current folder's meaning.
  const std::wstring summaryPath =
      args.Has(L"summary") ? platform::AbsolutePath(args.Value(L"summary")) : L"";
  if (!failure.empty()) {
    ReportNotLoaded(failure, inWindow);
    RunSummary unread;
    unread.jobPath = path.empty() ? args.Value(L"file") : path;
    unread.start = unread.end = IsoLocalTime();
    unread.report.outcome = RunOutcome::kJobUnreadable;
    unread.exitStatus = kExitJobUnreadable;
    WriteSummaryIfAsked(summaryPath, unread, texts);
    // On a desktop the editor comes up instead of the run, on a new job.
    if (inWindow) RunEditor(L"", texts, profile);
    return kExitJobUnreadable;
  }
  const std::wstring sevenZipLibrary = profile.GetString("Main", "SevenZip", L"");
  if (NamesAnOutput(jobDocument, summaryPath)) {
    PrintError(PrintFEx(texts.GetText(L"console_summary_is_output"), {summaryPath}));
    return kExitJobUnreadable;
  }
  if (dryRun) return DryRun(jobDocument, texts, sevenZipLibrary, args.Flag(L"why"));
  return RunJob(jobDocument, path, texts, sevenZipLibrary, inWindow, args.Flag(L"minimize"),
                summaryPath, profile);
}

}  // namespace kelvane
