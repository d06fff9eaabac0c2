#include "retention/retention_plan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "manifest/manifest_line.h"

namespace kelvane {
namespace {

struct Point {
  const wchar_t* name;
  const char* time;  // UTC
  std::vector<std::wstring> needs = {};
  bool readable = true;
};

struct Case {
  const char* what;
  KeepPolicy policy;
  const char* timeZone;
  std::vector<Point> points;
  // Why each point is kept, in the points' order; empty: deleted.
  std::vector<std::wstring> expected;
};

constexpr char kUtc[] = "UTC0";
constexpr char kBerlin[] = "CET-1CEST,M3.5.0,M10.5.0/3";

// clang-format off
const Case kCases[] = {
    {"no rule keeps everything", {}, kUtc,
     {{L"b", "2026-12-02T03:00:00Z"}, {L"a", "2026-12-01T03:00:00Z"}},
     {L"newest", L"no rule deletes"}},
    {"a kept point keeps its whole chain, and the chain's own needs", {.last = 1}, kUtc,
     {{L"c", "2026-12-03T03:00:00Z", {L"c", L"b"}}, {L"b", "2026-12-02T03:00:00Z", {L"b", L"a"}},
      {L"a", "2026-12-01T03:00:00Z", {L"a"}}, {L"old", "2026-11-01T03:00:00Z", {L"old"}}},
     {L"newest, last 1", L"needed by c", L"needed by b", L""}},
    {"days end at local midnight, across the year's end", {.days = 2}, kUtc,
     {{L"y1", "2027-01-01T00:30:00Z"}, {L"late", "2026-12-31T23:30:00Z"}, {L"early", "2026-12-31T10:00:00Z"}},
     {L"newest, day 2027-01-01", L"day 2026-12-31", L""}},
    {"ISO week 53 of 2026 runs into January", {.weeks = 2}, kUtc,
     {{L"mon", "2027-01-04T03:00:00Z"}, {L"sun", "2027-01-03T03:00:00Z"},
      {L"w53mon", "2026-12-28T03:00:00Z"}, {L"w52", "2026-12-27T03:00:00Z"}},
     {L"newest, week 2027-W01", L"week 2026-W53", L"", L""}},
    {"periods are counted back from the newest point, over gaps, never from today", {.weeks = 2, .months = 2}, kUtc,
     {{L"feb", "2027-02-28T03:00:00Z"}, {L"feb1", "2027-02-01T03:00:00Z"},
      {L"jan", "2027-01-15T03:00:00Z"}, {L"nov", "2026-11-30T03:00:00Z"}},
     {L"newest, week 2027-W08, month 2027-02", L"week 2027-W05", L"month 2027-01", L""}},
    // 23:30 summer time on the 29th, 00:30 winter time on the 29th, 23:30 on the 28th.
    {"a day of daylight saving time's start has 23 hours", {.days = 2}, kBerlin,
     {{L"night", "2026-03-29T21:30:00Z"}, {L"just", "2026-03-28T23:30:00Z"}, {L"eve", "2026-03-28T22:30:00Z"}},
     {L"newest, day 2026-03-29", L"", L"day 2026-03-28"}},
    {"a point that cannot be read stays and takes no place from the others", {.last = 2}, kUtc,
     {{L"c", "2026-12-03T03:00:00Z"}, {L"u", "2026-12-02T03:00:00Z", {}, false},
      {L"b", "2026-12-01T03:00:00Z"}, {L"a", "2026-11-30T03:00:00Z"}},
     {L"newest, last 2", L"its manifest cannot be read", L"last 2", L""}},
};
// clang-format on

TEST(RetentionPlanTest, KeepsWhatTheRulesAndTheChainsSay) {
  for (const Case& test : kCases) {
    SCOPED_TRACE(test.what);
    ::setenv("TZ", test.timeZone, 1);
    ::tzset();
    std::vector<PointToPlan> points;
    for (const Point& point : test.points) {
      points.push_back({point.name, ManifestTime(point.time).value(), point.readable, point.needs});
    }
    const std::vector<PointVerdict> verdicts = PlanRetention(points, test.policy);
    ASSERT_EQ(verdicts.size(), test.expected.size());
    for (size_t i = 0; i < verdicts.size(); ++i) {
      EXPECT_EQ(verdicts[i].why, test.expected[i]) << test.points[i].name;
      EXPECT_EQ(verdicts[i].keep, !test.expected[i].empty()) << test.points[i].name;
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace kelvane
