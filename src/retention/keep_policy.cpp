#include "retention/keep_policy.h"

#include <vector>

#include "job/backup_job.h"
#include "language/language_table.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// "the last 3 runs", or its form for one.
std::wstring CountedPart(const LanguageTable& texts, const wchar_t* key, uint32_t count) {
  if (count == 1) return texts.GetText(std::wstring(key) + L"_one");
  return PrintFEx(texts.GetText(key), {FormatText(L"%lu", count)});
}

}  // namespace

KeepPolicy KeepPolicyOf(const BackupJob& job) {
  return {job.KeepLast, job.KeepDays, job.KeepWeeks, job.KeepMonths};
}

std::wstring DescribePolicy(const KeepPolicy& policy, const LanguageTable& texts) {
  if (policy.KeepsEverything()) return texts.GetText(L"retention_keeps_all");
  // The newest runs first, then the periods, as a list of their own.
  std::wstring rules = policy.last ? CountedPart(texts, L"retention_last", policy.last) : L"";
  std::wstring periods;
  const std::pair<uint32_t, const wchar_t*> kPeriods[] = {{policy.days, L"retention_days"},
                                                          {policy.weeks, L"retention_weeks"},
                                                          {policy.months, L"retention_months"}};
  for (const auto& [count, key] : kPeriods) {
    if (count == 0) continue;
    if (!periods.empty()) periods += L", ";
    periods += CountedPart(texts, key, count);
  }
  if (!rules.empty() && !periods.empty()) rules += texts.GetText(L"retention_and");
  return PrintFEx(texts.GetText(L"retention_keeps"), {rules + periods});
}

std::wstring DescribeRetention(const BackupJob& job, const LanguageTable& texts) {
  std::wstring sentence = DescribePolicy(KeepPolicyOf(job), texts);
  if (job.FullEvery != 0) {
    sentence += L" " + CountedPart(texts, L"retention_full_every", job.FullEvery);
  }
  return sentence;
}

}  // namespace kelvane
