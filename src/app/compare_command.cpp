#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/restore_source.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "platform/environment.h"
#include "restore/restore_drill.h"
#include "run/console_run_host.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/line_escape.h"
#include "util/template_format.h"

namespace kelvane {

// A finding a line on stdout, escaped as the log escapes names; then the
// counts. The archive's soundness decides the status, never what changed in
// the live tree since.
int CompareCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  RestoreSource source;
  if (const std::optional<int> refused = OpenRestoreSource(context, &source)) return *refused;
  const std::vector<RestorePoint> points = PointsToRestore(source);
  const std::optional<size_t> chosen = PointAsked(context, points);
  if (!chosen) return kExitJobUnreadable;
  RestoreRequest request;
  if (const std::optional<int> unread = ReadPointPlan(source, points[*chosen], &request.plan)) {
    return *unread;
  }
  if (const std::optional<int> unfetched = FetchPlanArchives(source, request.plan)) {
    return *unfetched;
  }
  request.archiveFolder = &source.folder;
  request.listing = source.listing;
  request.keys = source.keys;
  for (const std::wstring& refusal : request.plan.refusals) PrintError(refusal);
  ConsoleRunHost host(stderr, platform::StandardErrorIsTerminal(), true, texts);
  const DrillReport report = RunDrill(request, host, [](const std::wstring& finding) {
    std::printf("%s\n", EscapedLine(finding).c_str());
  });
  if (report.refused) {
    PrintError(PrintFEx(texts.GetText(L"console_compare_missing"), {report.refusal}));
    return kExitAborted;
  }
  PrintLine(PrintFEx(texts.GetText(L"console_compare_done"),
                     {points[*chosen].target.name, FormatText(L"%lu", report.files),
                      FormatText(L"%lu", report.damaged), FormatText(L"%lu", report.changedSince),
                      FormatText(L"%lu", report.missingNow)}));
  return report.damaged == 0 && request.plan.refusals.empty() ? kExitDone : kExitDoneWithErrors;
}

}  // namespace kelvane
