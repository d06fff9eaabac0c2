#include "app/kelvane_app.h"

#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "job/backup_job.h"
#include "job/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/console_run_host.h"
#include "run/run_driver.h"
#include "ui/compress_dialog.h"
#include "ui/dialog_services.h"
#include "ui/kelvane_document.h"
#include "ui/window_session.h"
#include "util/format_text.h"
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

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return kExitDone;
    case RunOutcome::kCompletedWithErrors: return kExitDoneWithErrors;
    case RunOutcome::kAborted: return kExitAborted;
    case RunOutcome::kJobUnreadable: return kExitJobUnreadable;
  }
  return kExitAborted;
}

int RunInConsole(const JsonDocument& job, const LanguageTable& texts,
                 const std::wstring& sevenZipLibrary) {
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
  RunDriver driver = MakeRunDriver(host, texts, sevenZipLibrary);
  return ExitStatusOf(driver.Run(job).outcome);
}

// The run in the run window (the toolkit is open).
int RunInWindow(const JsonDocument& job, const LanguageTable& texts,
                const std::wstring& sevenZipLibrary, bool minimize) {
  // The window's cancel is the run's cancel; a signal is one too.
  platform::CatchInterrupts();
  ui::CKelvaneCompressDlg window(nullptr, job, texts, sevenZipLibrary, minimize);
  window.ShowModal();
  // Closed before the run began: nothing was done, as after a cancel.
  return window.report() ? ExitStatusOf(window.report()->outcome) : kExitAborted;
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
  const bool start = args.Flag(L"start");

  ProfileStore profile;
  std::wstring path = args.Value(L"file");
  if (path.empty() && profile.GetInt("Main", "LoadRecentFile", 0) != 0) {
    path = profile.GetString("Main", "RecentFile", L"");
  }
  if (!path.empty() && !platform::Fs().Exists(path)) path.clear();

  const std::wstring display = platform::DesktopDisplay();
  const bool desktop = !display.empty() && !args.Flag(L"console");
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
    profile.WriteString("Main", "RecentFile", path);
    if (const uint32_t error = jobDocument.LoadFile(path); error != 0) {
      failure = LoadFailureText(jobDocument, error, path, texts);
    }
  }
  if (!failure.empty()) {
    ReportNotLoaded(failure, inWindow);
    // On a desktop the editor comes up instead of the run, on a new job.
    if (inWindow) RunEditor(L"", texts, profile);
    return kExitJobUnreadable;
  }
  const std::wstring sevenZipLibrary = profile.GetString("Main", "SevenZip", L"");
  if (inWindow) return RunInWindow(jobDocument, texts, sevenZipLibrary, args.Flag(L"minimize"));
  return RunInConsole(jobDocument, texts, sevenZipLibrary);
}

}  // namespace kelvane
