#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/job_to_run.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "job/job_edits.h"
#include "language/language_table.h"
#include "notify/last_run.h"
#include "notify/run_notices.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/console_run_host.h"
#include "run/run_driver.h"
#include "run/run_summary.h"
#include "storage/location_copy.h"
#include "ui/toolkit/window_session.h"
#include "ui/windows/compress_dialog.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return kExitDone;
    case RunOutcome::kCompletedWithErrors: return kExitDoneWithErrors;
    case RunOutcome::kAborted: return kExitAborted;
    case RunOutcome::kJobUnreadable: return kExitJobUnreadable;
  }
  return kExitAborted;
}

RunReport RunInConsole(const JobToRun& job, const LanguageTable& texts,
                       const std::wstring& sevenZipLibrary) {
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
  RunDriver driver = MakeRunDriver(host, texts, sevenZipLibrary);
  driver.SetJobPath(job.path);
  driver.SetAfterRun(CopyAndKeepStep(sevenZipLibrary));
  return driver.Run(job.document);
}

// The run in the run window (the toolkit is open).
// A run started from the command line may have nobody watching (a
// scheduler, a launcher): its window closes by itself at the end.
RunReport RunInWindow(const JobToRun& job, const LanguageTable& texts,
                      const std::wstring& sevenZipLibrary, bool minimize, ProfileStore& profile) {
  // The window's cancel is the run's cancel; a signal is one too.
  platform::CatchInterrupts();
  ui::RunWindowOptions options;
  options.jobName = JobName(job.path, job.settings);
  options.jobPath = job.path;
  options.minimize = minimize;
  options.closeWhenDone = true;
  options.profile = &profile;
  ui::CKelvaneCompressDlg window(nullptr, job.document, texts, sevenZipLibrary, options);
  window.ShowModal();
  // Closed before the run began: nothing was done, as after a cancel.
  return window.report() ? *window.report() : RunReport{};
}

}  // namespace

int RunCommand(const CommandContext& context) {
  const std::unique_ptr<ui::WindowSession> session = OpenDesktop(context);
  const bool inWindow = session != nullptr;
  JobToRun job;
  if (const std::optional<int> refused = LoadJobToRun(context, false, inWindow, &job)) {
    return *refused;
  }
  const std::wstring sevenZipLibrary = context.profile.GetString("Main", "SevenZip", L"");
  RunNotices notices(job.settings, JobName(job.path, job.settings), context.profile, context.texts);
  RunSummary summary;
  summary.jobPath = job.path;
  summary.start = IsoLocalTime();
  notices.Started(&summary.notices);
  const int64_t started = platform::Time().MonotonicMicros();
  summary.report = inWindow ? RunInWindow(job, context.texts, sevenZipLibrary,
                                          context.args.Flag(L"minimize"), context.profile)
                            : RunInConsole(job, context.texts, sevenZipLibrary);
  summary.durationSeconds = static_cast<double>(platform::Time().MonotonicMicros() - started) / 1e6;
  summary.end = IsoLocalTime();
  summary.exitStatus = ExitStatusOf(summary.report.outcome);
  notices.Ended(&summary, inWindow);
  SayNotices(summary.notices, context.texts);
  // Beside the log, for the editor and -list; a run that never reached its
  // archive folder leaves the last one as it was, and so does one refused
  // because the job is running: that run's outcome is the one to keep.
  if (!summary.report.alreadyRunning) (void)KeepLastRun(job.settings, summary);
  if (!WriteSummaryIfAsked(job.summaryPath, summary, context.texts) &&
      summary.exitStatus == kExitDone) {
    return kExitDoneWithErrors;
  }
  return summary.exitStatus;
}

}  // namespace kelvane
