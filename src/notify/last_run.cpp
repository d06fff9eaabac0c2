#include "notify/last_run.h"

#include <algorithm>
#include <optional>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "manifest/manifest_line.h"
#include "platform/text_codec.h"
#include "run/output_names.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

std::wstring Age(const LanguageTable& texts, int64_t seconds) {
  const int64_t minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
  if (minutes < 1) return texts.GetText(L"age_now");
  if (hours < 1) {
    return PrintFEx(texts.GetText(minutes == 1 ? L"age_minute" : L"age_minutes"),
                    {std::to_wstring(minutes)});
  }
  if (hours < 48) {
    return PrintFEx(texts.GetText(hours == 1 ? L"age_hour" : L"age_hours"),
                    {std::to_wstring(hours)});
  }
  return PrintFEx(texts.GetText(L"age_days"), {std::to_wstring(days)});
}

}  // namespace

platform::Status KeepLastRun(const BackupJob& job, const RunSummary& summary) {
  return WriteRunSummary(NameTarget(job, L"").lastRunPath, summary);
}

std::wstring LastBackupLine(const BackupJob& job, const LanguageTable& texts, int64_t now) {
  JsonDocument last;
  std::wstring outcome, end;
  if (!last.LoadFile(NameTarget(job, L"").lastRunPath).ok() ||
      !last.GetText(nullptr, "outcome", &outcome) || !last.GetText(nullptr, "end", &end)) {
    return texts.GetText(L"last_backup_never");
  }
  const std::optional<int64_t> ended = ManifestTime(platform::ToUtf8(end));
  const std::wstring age = ended ? Age(texts, std::max<int64_t>(0, now - *ended)) : end;
  const wchar_t* key = outcome == L"completed"               ? L"last_backup_completed"
                       : outcome == L"completed_with_errors" ? L"last_backup_errors"
                                                             : L"last_backup_failed";
  return PrintFEx(texts.GetText(key), {age});
}

}  // namespace kelvane
