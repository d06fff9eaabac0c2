#include <cstdio>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/restore_source.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "restore/restore_plan.h"
#include "restore/restore_points.h"
#include "restore/restore_run.h"
#include "run/console_run_host.h"
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

}  // namespace

int RestoreCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  const std::wstring to = context.args.Value(L"to");
  if (to.empty() || to == L"1") {
    PrintError(texts.GetText(L"console_restore_no_to"));
    return kExitJobUnreadable;
  }
  RestoreSource source;
  if (const std::optional<int> refused = OpenRestoreSource(context, &source)) return *refused;
  const std::wstring at = context.args.Value(L"at");
  const std::vector<RestorePoint> points = SourcePoints(source);
  const std::optional<size_t> chosen = ChoosePoint(points, at);
  if (!chosen) {
    PrintError(PrintFEx(texts.GetText(L"console_restore_no_point"), {at.empty() ? L"latest" : at}));
    return kExitJobUnreadable;
  }
  PlanBuilder builder;
  if (const platform::Status read = ReadTargetManifest(
          source.folder, source.listing, points[*chosen].target, source.keys, &builder);
      !read.ok()) {
    PrintError(read.context() + ErrorText(static_cast<uint32_t>(read.code())));
    return kExitAborted;
  }
  RestoreRequest request;
  request.plan = builder.Finish();
  SelectOnly(context.args.Values(L"only"), &request.plan);
  if (context.args.Flag(L"dry-run")) return PrintDryRun(source, request.plan, texts);

  request.archiveFolder = &source.folder;
  request.listing = source.listing;
  request.keys = source.keys;
  request.targetPath = NormalPath(to);
  request.overwrite = context.args.Flag(L"overwrite");
  // The log beside the folder restored into: never inside it, where it
  // would be one more file the point did not have.
  RunLog log;
  const std::wstring logPath = request.targetPath + L".restore.log";
  if (log.OpenLog(logPath) != 0)
    PrintError(logPath + ErrorText(static_cast<uint32_t>(log.error())));
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
  const RestoreReport report = RunRestore(request, host, log);
  (void)log.CloseLog();
  const std::wstring files = FormatText(L"%lu", report.files);
  switch (report.outcome) {
    case RestoreOutcome::kRefused: PrintError(report.refusal); break;
    case RestoreOutcome::kRestored:
      PrintLine(PrintFEx(texts.GetText(L"console_restore_done"),
                         {files, FormatByteSize(report.bytes), request.targetPath}));
      break;
    case RestoreOutcome::kSomeFailed:
      PrintError(PrintFEx(texts.GetText(L"console_restore_failed"),
                          {files, FormatText(L"%lu", report.failures), logPath}));
      break;
    case RestoreOutcome::kCancelled:
      PrintError(
          PrintFEx(texts.GetText(L"console_restore_cancelled"), {files, request.targetPath}));
      break;
  }
  return ExitStatusOf(report);
}

}  // namespace kelvane
