#include <cstdio>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/job_to_run.h"
#include "app/restore_source.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "restore/restore_plan.h"
#include "restore/restore_points.h"
#include "restore/restore_run.h"
#include "run/console_run_host.h"
#include "run/run_report.h"
#include "run/run_summary.h"
#include "ui/toolkit/window_session.h"
#include "ui/windows/compress_dialog.h"
#include "ui/windows/restore_dialog.h"
#include "util/byte_size.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/line_escape.h"
#include "util/path_util.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// "+ PATH<TAB>ARCHIVE" for each file and link, "+ PATH/" for each folder,
// escaped as the dry run of a backup escapes them; then the totals.
int PrintDryRun(const RestoreSource& source, const RestorePlan& plan, const LanguageTable& texts) {
  for (const std::wstring& refusal : plan.refusals) PrintError(refusal);
  const std::vector<std::wstring> missing =
      MissingArchives(source.folder, source.listing, plan, source.keys);
  for (const ManifestEntry& entry : plan.entries) {
    const std::wstring path = platform::FromNative(entry.path);
    if (entry.type == ManifestEntry::Type::kFolder) {
      std::printf("+ %s/\n", EscapedLine(path).c_str());
    } else {
      std::printf("+ %s\t%s\n", EscapedLine(path).c_str(),
                  EscapedLine(platform::FromNative(entry.archive)).c_str());
    }
  }
  PrintLine(PrintFEx(texts.GetText(L"console_restore_would"),
                     {FormatText(L"%lu", plan.FileCount()), FormatByteSize(plan.FileBytes())}));
  for (const std::wstring& archive : missing) PrintError(L"missing: " + archive);
  if (!missing.empty()) return kExitAborted;
  return plan.refusals.empty() ? kExitDone : kExitDoneWithErrors;
}

int ExitStatusOf(const RestoreReport& report) {
  switch (report.outcome) {
    case RestoreOutcome::kRestored: return kExitDone;
    case RestoreOutcome::kSomeFailed: return kExitDoneWithErrors;
    case RestoreOutcome::kRefused:
    case RestoreOutcome::kCancelled: break;
  }
  return kExitAborted;
}

// What the user chose: from the command line, or, on a desktop without
// -to, in the restore window.
struct RestoreAsked {
  size_t point = 0;
  std::vector<std::wstring> only;
  std::wstring target;
  bool overwrite = false;
  OnlyMatch onlyMatch = OnlyMatch::kWildcards;  // the window's are ticked paths
};

// The restore's end in the run window's words.
RunReport AsRunReport(const RestoreReport& restore, const RestoreRequest& request,
                      const std::wstring& logPath, const std::wstring& line) {
  RunReport report;
  report.outcome = restore.outcome == RestoreOutcome::kRestored ? RunOutcome::kCompleted
                   : restore.outcome == RestoreOutcome::kSomeFailed
                       ? RunOutcome::kCompletedWithErrors
                       : RunOutcome::kAborted;
  report.savedFiles = static_cast<uint32_t>(restore.files);
  report.totalFiles = static_cast<uint32_t>(request.plan.FileCount());
  report.errorCount = static_cast<uint32_t>(restore.failures);
  report.totalBytes = request.plan.FileBytes();
  // Every file restored was checked against its SHA-256 as it was written.
  report.verification = restore.failures == 0 ? Verification::kPassed : Verification::kFailed;
  report.verifiedFiles = static_cast<uint32_t>(restore.files);
  report.archivePath = request.targetPath + L"/";
  report.logPath = logPath;
  report.describedAs = line;
  return report;
}

std::wstring OutcomeLine(const RestoreReport& report, const RestoreRequest& request,
                         const std::wstring& logPath, const LanguageTable& texts) {
  const std::wstring files = FormatText(L"%lu", report.files);
  switch (report.outcome) {
    case RestoreOutcome::kRefused: return report.refusal;
    case RestoreOutcome::kRestored:
      return PrintFEx(
          texts.GetText(report.files == 1 ? L"console_restore_done_one" : L"console_restore_done"),
          {files, FormatByteSize(report.bytes), request.targetPath});
    case RestoreOutcome::kSomeFailed:
      return PrintFEx(texts.GetText(L"console_restore_failed"),
                      {files, FormatText(L"%lu", report.failures), logPath});
    case RestoreOutcome::kCancelled: break;
  }
  return PrintFEx(texts.GetText(L"console_restore_cancelled"), {files, request.targetPath});
}

// What to restore, where to, chosen in the restore window; false when it
// was closed instead.
bool AskInWindow(const CommandContext& context, RestoreSource& source,
                 const std::vector<RestorePoint>& points, RestoreAsked* asked) {
  ui::RestoreDialog window(nullptr, context.texts, context.profile, source.jobName, points,
                           [&source, &points](size_t index) {
                             RestorePlan plan;
                             (void)ReadPointPlan(source, points[index], &plan);
                             return plan;
                           });
  if (window.ShowModal() != wxID_OK) return false;
  const ui::RestoreChoice& choice = window.choice();
  *asked = {choice.point, choice.only, choice.target, choice.overwrite, OnlyMatch::kExactPaths};
  return true;
}

// What to say of a log that was opened but could not be written whole: the
// outcome line sends the user to it. Empty when there is nothing to say.
std::wstring LogFailure(const RunLog& log, bool opened, const std::wstring& logPath,
                        const LanguageTable& texts) {
  if (!opened || log.error() == 0) return {};
  return PrintFEx(texts.GetText(L"log_write_failed"),
                  {logPath, ErrorText(static_cast<uint32_t>(log.error()))});
}

// The restore in the run window, which says how it went.
RestoreReport RunInWindow(const RestoreRequest& request, const std::wstring& pointName,
                          const std::wstring& logPath, RunLog& log, bool logOpened,
                          const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  RestoreReport report;
  ui::RunWindowOptions options;
  options.jobName = texts.GetText(L"ui_restore_title") + L" " + pointName;
  options.profile = &context.profile;
  ui::CKelvaneCompressDlg window(
      nullptr,
      [&](RunHost& host) {
        report = RunRestore(request, host, log);
        (void)log.CloseLog();
        if (const std::wstring failure = LogFailure(log, logOpened, logPath, texts);
            !failure.empty()) {
          host.ShowMessage(failure, true);
        }
        return AsRunReport(report, request, logPath, OutcomeLine(report, request, logPath, texts));
      },
      texts, options);
  window.ShowModal();
  return report;
}

// Writes the plan of `request` where `asked` says, in the run window or the
// terminal, and says how it went on stdout or stderr, in the log and in the
// summary when one is asked for; the exit status.
int RestoreAndSay(const RestoreSource& source, const RestoreAsked& asked,
                  const std::wstring& pointName, bool inWindow, const CommandContext& context,
                  RestoreRequest request) {
  const LanguageTable& texts = context.texts;
  request.archiveFolder = &source.folder;
  request.listing = source.listing;
  request.keys = source.keys;
  request.targetPath = NormalPath(asked.target);
  request.overwrite = asked.overwrite;
  // The log beside the folder restored into: never inside it, where it
  // would be one more file the point did not have.
  RunLog log;
  const std::wstring logPath = request.targetPath + L".restore.log";
  const bool logOpened = log.OpenLog(logPath) == 0;
  if (!logOpened) PrintError(logPath + ErrorText(static_cast<uint32_t>(log.error())));
  const std::wstring summaryPath =
      context.args.Has(L"summary") ? NormalPath(context.args.Value(L"summary")) : std::wstring();
  RunSummary summary;
  summary.jobPath = source.given;
  summary.start = IsoLocalTime();
  const int64_t started = platform::Time().MonotonicMicros();
  RestoreReport report;
  if (inWindow) {
    report = RunInWindow(request, pointName, logPath, log, logOpened, context);
  } else {
    ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
    report = RunRestore(request, host, log);
    (void)log.CloseLog();
  }
  const std::wstring line = OutcomeLine(report, request, logPath, texts);
  if (report.outcome == RestoreOutcome::kRestored) {
    PrintLine(line);
  } else {
    PrintError(line);
  }
  if (const std::wstring failure = LogFailure(log, logOpened, logPath, texts); !failure.empty()) {
    PrintError(failure);
  }
  // The summary of a run, in a restore's terms: its target is the folder
  // restored into, its files selected the point's, its files saved those
  // restored and checked.
  summary.report = AsRunReport(report, request, logPath, line);
  summary.durationSeconds = static_cast<double>(platform::Time().MonotonicMicros() - started) / 1e6;
  summary.end = IsoLocalTime();
  summary.exitStatus = ExitStatusOf(report);
  if (!WriteSummaryIfAsked(summaryPath, summary, texts) && summary.exitStatus == kExitDone) {
    return kExitDoneWithErrors;
  }
  return summary.exitStatus;
}

}  // namespace

int RestoreCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  RestoreAsked asked;
  asked.target = context.args.Value(L"to");
  asked.overwrite = context.args.Flag(L"overwrite");
  asked.only = context.args.Values(L"only");
  const bool dryRun = context.args.Flag(L"dry-run");
  const bool noTarget = asked.target.empty() || asked.target == L"1";
  // Without -to, the restore window asks where to (and what).
  std::unique_ptr<ui::WindowSession> session;
  if (noTarget && !dryRun) session = OpenDesktop(context);
  if (!session && noTarget) {
    PrintError(texts.GetText(L"console_restore_no_to"));
    return kExitJobUnreadable;
  }
  RestoreSource source;
  if (const std::optional<int> refused = OpenRestoreSource(context, &source)) return *refused;
  const std::vector<RestorePoint> points = PointsToRestore(source);
  if (session) {
    if (!AskInWindow(context, source, points, &asked)) return kExitAborted;
  } else if (const std::optional<size_t> chosen = PointAsked(context, points)) {
    asked.point = *chosen;
  } else {
    return kExitJobUnreadable;
  }
  RestoreRequest request;
  if (const std::optional<int> unread = ReadPointPlan(source, points[asked.point], &request.plan)) {
    return *unread;
  }
  const std::vector<std::wstring> unmatched =
      SelectOnly(asked.only, &request.plan, asked.onlyMatch);
  for (const std::wstring& pattern : unmatched) {
    PrintError(PrintFEx(texts.GetText(L"console_restore_only_unmatched"),
                        {pattern, points[asked.point].target.name}));
  }
  if (!unmatched.empty()) return kExitJobUnreadable;
  if (dryRun) return PrintDryRun(source, request.plan, texts);
  if (const std::optional<int> unfetched = FetchPlanArchives(source, request.plan)) {
    return *unfetched;
  }

  return RestoreAndSay(source, asked, points[asked.point].target.name, session != nullptr, context,
                       std::move(request));
}

}  // namespace kelvane
