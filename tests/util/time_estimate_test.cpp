#include "util/time_estimate.h"

#include <gtest/gtest.h>

#include <regex>

namespace kelvane {
namespace {

constexpr int64_t kSecond = 1'000'000'000;
constexpr wchar_t kBoth[] = L"[1] / [2]";

TEST(TimeEstimateTest, FormatsHoursBeyondADayAndTheSameKeyChangesNothing) {
  TimeEstimate estimate(100, 0);
  estimate.UpdateAt(50, 50, static_cast<int64_t>(3725.9 * kSecond));
  EXPECT_EQ(estimate.FormatTimes(L"[1]"), L"01:02:05");
  estimate.UpdateAt(60, 60, 360000 * kSecond);
  EXPECT_EQ(estimate.FormatTimes(L"[1]"), L"100:00:00");
  EXPECT_EQ(estimate.FormatTimes(kBoth), L"100:00:00 / 66:40:00");
  // A second update for the same key changes nothing.
  estimate.UpdateAt(61, 60, 999999 * kSecond);
  EXPECT_EQ(estimate.FormatTimes(kBoth), L"100:00:00 / 66:40:00");
}

// Given early updates whose estimates jump around, the remaining time shown is
// the largest so far, capped at one hour, until 6 percent.
TEST(TimeEstimateTest, EarlyEstimatesNeverFallAndAreCapped) {
  TimeEstimate estimate(100, 0);
  // done=1 after 72 s: 99 * 72 = 7128 s remaining, capped to 3600.
  estimate.UpdateAt(1, 1, 72 * kSecond);
  EXPECT_EQ(estimate.FormatTimes(kBoth), L"00:01:12 / 01:00:00");
  // done=2 after 2 s: 98 s remaining; the shown value stays.
  TimeEstimate second(100, 0);
  second.UpdateAt(1, 1, 72 * kSecond);
  second.UpdateAt(50, 2, 100 * kSecond);
  EXPECT_EQ(second.remainingSeconds, 100.0);
  EXPECT_EQ(second.FormatTimes(L"[2]"), L"01:00:00");
  second.UpdateAt(90, 3, 450 * kSecond);
  EXPECT_EQ(second.FormatTimes(L"[2]"), L"01:00:00");
  // From key 6 the current estimate shows: 10 left at 5 s per unit.
  second.UpdateAt(90, 6, 450 * kSecond);
  EXPECT_EQ(second.FormatTimes(L"[2]"), L"00:00:50");
}

TEST(TimeEstimateTest, NothingDoneYetShowsTheCapWithoutFailing) {
  EXPECT_EQ(TimeEstimate(1000, 0).FormatTimes(kBoth), L"00:00:00 / 00:00:00");
  TimeEstimate estimate(100, 0);
  estimate.UpdateAt(0, 0, 5 * kSecond);
  EXPECT_EQ(estimate.FormatTimes(kBoth), L"00:00:05 / 01:00:00");
  TimeEstimate empty(0, 0);
  empty.UpdateAt(0, 0, 5 * kSecond);
  EXPECT_EQ(empty.FormatTimes(kBoth), L"00:00:05 / 00:00:00");
  // A file that grew during the run: done beyond total never wraps around.
  TimeEstimate grown(100, 0);
  grown.UpdateAt(150, 7, 5 * kSecond);
  EXPECT_EQ(grown.FormatTimes(L"[2]"), L"00:00:00");
}

TEST(TimeEstimateTest, ProgressPercentRoundsToWholePercent) {
  EXPECT_EQ(ProgressPercent(1, 3), 33u);
  EXPECT_EQ(ProgressPercent(2, 3), 67u);
  EXPECT_EQ(ProgressPercent(6ull << 30, 8ull << 30), 75u);
  EXPECT_EQ(ProgressPercent(0, 10), 0u);
  EXPECT_EQ(ProgressPercent(10, 10), 100u);
  EXPECT_EQ(ProgressPercent(5, 0), 0u);
}

TEST(TimeEstimateTest, DateSuffixHasTheFixedShape) {
  const std::wstring suffix = DateSuffix();
  EXPECT_TRUE(std::regex_match(suffix, std::wregex(L"_\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}")))
      << std::string(suffix.begin(), suffix.end());
  EXPECT_TRUE(IsDateSuffix(suffix));
  EXPECT_TRUE(IsDateSuffix(L"_2026-12-05_09-07"));
  for (const wchar_t* other : {L"", L"_2026-12-05_09-7", L"_2026-12-05 09-07",
                               L"_2026-12-05_09-07x", L"_20a6-12-05_09-07", L"-2026-12-05_09-07"}) {
    EXPECT_FALSE(IsDateSuffix(other)) << std::wstring_view(other).size();
  }
}

}  // namespace
}  // namespace kelvane
