#include "retention/retention_plan.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "platform/local_clock.h"
#include "util/civil_date.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

CivilDate LocalDateOf(int64_t unixTime) {
  platform::CalendarTime local;
  if (!platform::LocalCalendarTime(unixTime, &local)) {
    return CivilFromDays(unixTime / 86400);  // UTC: better than no date at all
  }
  return {local.year, local.month, local.day};
}

// A period of the calendar: its key orders and tells periods apart, its
// label says which one it is.
struct Period {
  int64_t key;
  std::wstring label;
};

Period DayOf(const CivilDate& date) {
  return {DaysFromCivil(date), FormatText(L"day %04lld-%02d-%02d",
                                          static_cast<long long>(date.year), date.month, date.day)};
}

Period WeekOf(const CivilDate& date) {
  const IsoWeek week = IsoWeekOf(date);
  return {week.year * 100 + week.week,
          FormatText(L"week %04lld-W%02d", static_cast<long long>(week.year), week.week)};
}

Period MonthOf(const CivilDate& date) {
  return {date.year * 12 + date.month - 1,
          FormatText(L"month %04lld-%02d", static_cast<long long>(date.year), date.month)};
}

void AddReason(PointVerdict* verdict, const std::wstring& reason) {
  verdict->keep = true;
  if (!verdict->why.empty()) verdict->why += L", ";
  verdict->why += reason;
}

}  // namespace

std::vector<PointVerdict> PlanRetention(const std::vector<PointToPlan>& points,
                                        const KeepPolicy& policy) {
  std::vector<PointVerdict> verdicts(points.size());
  if (points.empty()) return verdicts;
  std::vector<size_t> newestFirst(points.size());
  std::iota(newestFirst.begin(), newestFirst.end(), 0);
  std::sort(newestFirst.begin(), newestFirst.end(), [&points](size_t a, size_t b) {
    const PointToPlan& x = points[a];
    const PointToPlan& y = points[b];
    return x.unixTime != y.unixTime ? x.unixTime > y.unixTime : x.name > y.name;
  });

  AddReason(&verdicts[newestFirst.front()], L"newest");
  if (policy.KeepsEverything()) {
    for (PointVerdict& verdict : verdicts) {
      if (!verdict.keep) AddReason(&verdict, L"no rule deletes");
    }
    return verdicts;
  }
  // Points nobody can read keep their place without taking one from those
  // the rules count.
  std::vector<size_t> counted;
  for (const size_t i : newestFirst) {
    if (points[i].readable) {
      counted.push_back(i);
    } else {
      AddReason(&verdicts[i], L"its manifest cannot be read");
    }
  }
  for (size_t n = 0; n < counted.size() && n < policy.last; ++n) {
    AddReason(&verdicts[counted[n]], FormatText(L"last %lu", policy.last));
  }
  auto keepNewestOfEach = [&](uint32_t periods, Period (*periodOf)(const CivilDate&)) {
    std::set<int64_t> seen;
    for (const size_t i : counted) {
      if (seen.size() == periods) break;
      const Period period = periodOf(LocalDateOf(points[i].unixTime));
      if (seen.insert(period.key).second) AddReason(&verdicts[i], period.label);
    }
  };
  keepNewestOfEach(policy.days, DayOf);
  keepNewestOfEach(policy.weeks, WeekOf);
  keepNewestOfEach(policy.months, MonthOf);

  // Every point a kept one needs stays, and what that one needs in turn.
  std::map<std::wstring, size_t> byName;
  for (size_t i = 0; i < points.size(); ++i) byName.emplace(points[i].name, i);
  std::vector<size_t> pending;
  for (const size_t i : newestFirst) {
    if (verdicts[i].keep) pending.push_back(i);
  }
  while (!pending.empty()) {
    const size_t keeper = pending.back();
    pending.pop_back();
    for (const std::wstring& need : points[keeper].needs) {
      const auto needed = byName.find(need);
      if (needed == byName.end() || verdicts[needed->second].keep) continue;
      AddReason(&verdicts[needed->second], L"needed by " + points[keeper].name);
      pending.push_back(needed->second);
    }
  }
  return verdicts;
}

}  // namespace kelvane
