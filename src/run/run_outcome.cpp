#include "run/run_outcome.h"

#include "language/language_table.h"
#include "util/byte_size.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {

std::vector<std::wstring> OutcomeLines(const RunReport& report, const LanguageTable& texts) {
  if (!report.describedAs.empty()) return {report.describedAs};
  switch (report.outcome) {
    case RunOutcome::kCompleted:
    case RunOutcome::kCompletedWithErrors: {
      std::vector<std::wstring> lines;
      if (report.nothingChanged()) {
        const bool folder = !report.archivePath.empty() && report.archivePath.back() == L'/';
        lines.push_back(PrintFEx(
            texts.GetText(folder ? L"console_done_nothing_folder" : L"console_done_nothing"),
            {report.archivePath}));
      } else {
        lines.push_back(
            PrintFEx(texts.GetText(L"console_done"),
                     {FormatText(L"%lu", report.savedFiles), FormatText(L"%lu", report.totalFiles),
                      FormatByteSize(report.totalBytes), report.archivePath,
                      FormatText(L"%lu", report.errorCount)}));
      }
      if (report.verification != Verification::kNone && !report.nothingChanged()) {
        lines.push_back(PrintFEx(
            texts.GetText(L"console_verified"),
            {FormatText(L"%lu", report.verifiedFiles), FormatText(L"%lu", report.verifyFailures)}));
      }
      if (!report.deleted.empty()) {
        lines.push_back(PrintFEx(texts.GetText(L"console_deleted"),
                                 {FormatText(L"%lu", report.deleted.size())}));
      }
      for (const LocationOutcome& location : report.locations) {
        lines.push_back(
            location.result == L"copied"
                ? PrintFEx(texts.GetText(L"console_location_copied"), {location.location})
                : PrintFEx(texts.GetText(L"console_location_failed"),
                           {location.location, location.error}));
      }
      return lines;
    }
    case RunOutcome::kAborted:
      // Only what applies: a run refused before it wrote anything changed
      // nothing; a folder copy it updated keeps what it copied; a new folder
      // copy and an archive are dropped.
      if (!report.targetBegun) return {texts.GetText(L"console_aborted_before")};
      if (report.partKept) return {texts.GetText(L"console_aborted_folder")};
      if (!report.archivePath.empty() && report.archivePath.back() == L'/') {
        return {texts.GetText(L"console_aborted_new_folder")};
      }
      return {texts.GetText(L"console_aborted")};
    case RunOutcome::kJobUnreadable: return {texts.GetText(L"console_job_unreadable")};
  }
  return {};
}

}  // namespace kelvane
