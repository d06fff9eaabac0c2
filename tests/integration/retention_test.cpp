// Retention through the real executable: forty daily runs of a dated
// incremental job (faketime moves the program's clock a day per run) against
// a model of the rules written from how a user reads them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "integration/cli_test_support.h"
#include "job/backup_job.h"

namespace kelvane {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr int kDays = 40;

sys_days Day(int n) { return sys_days{std::chrono::year{2026} / 12 / 1} + days{n}; }

std::string DateText(int n) {
  const year_month_day date{Day(n)};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string Archive(int n) { return "Daily_" + DateText(n) + "_03-00.zip"; }

// The ISO week as the Monday that starts it.
int64_t WeekOf(int n) {
  const std::chrono::weekday weekday{Day(n)};
  return (Day(n) - days{weekday.iso_encoding() - 1}).time_since_epoch().count();
}

// What the rules keep of the days in `present` (KeepLast 3, KeepDays 7,
// KeepWeeks 4), a kept day keeping every day back to the full backup its
// chain starts from (each day's archive holds a file that is never changed).
std::set<int> ModelKeeps(const std::set<int>& present, const std::set<int>& fulls) {
  std::set<int> kept;
  std::set<int64_t> weeks;
  int counted = 0;
  for (auto day = present.rbegin(); day != present.rend(); ++day, ++counted) {
    if (counted < 7) kept.insert(*day);  // the last 3 and 7 days, one run a day
    if (weeks.size() < 4 && weeks.insert(WeekOf(*day)).second) kept.insert(*day);
  }
  for (const int day : std::set<int>(kept)) {
    for (int back = *std::prev(fulls.upper_bound(day)); back < day; ++back) {
      if (present.count(back)) kept.insert(back);
    }
  }
  return kept;
}

class RetentionTest : public test::JobRunTest {
 protected:
  RetentionTest() : JobRunTest(kJobTypeZip) {
    job_.AddDate = true;
    job_.ArchiveBitGet = true;
    job_.SkipFilesWithoutExtension = false;
    job_.TestFiles = true;
    job_.BlackList.clear();
    job_.FullEvery = 7;
    job_.KeepLast = 3;
    job_.KeepDays = 7;
    job_.KeepWeeks = 4;
  }

  int KelvaneOn(int day, const std::string& args) {
    return KelvaneAt(DateText(day) + " 03:00:00", cli_.WriteJob(job_) + " " + args);
  }
  std::string Archives() {
    EXPECT_EQ(Shell("cd out && ls *.zip"), 0) << output_;
    return output_;
  }
  static std::string Names(const std::set<int>& points) {
    std::string names;
    for (const int day : points) names += Archive(day) + "\n";
    return names;
  }
};

// Given forty daily runs that each add a file and change another, then the
// archives left are exactly those the model keeps, the job made a full
// backup every seventh day, no point's chain is incomplete and each kept
// point restores to its day's tree; a dry run plans with the run's own new
// point, deleting nothing. A run that fails afterwards deletes
// nothing; with a stricter policy, -prune -dry-run deletes nothing either,
// and -prune leaves the newest point and its chain.
TEST_F(RetentionTest, FortyDaysLeaveWhatTheRulesKeep) {
  std::set<int> present;
  std::set<int> fulls;
  for (int day = 0; day < kDays; ++day) {
    File("new" + std::to_string(day) + ".txt", std::to_string(day));
    File("day.txt", std::to_string(day));
    ASSERT_EQ(KelvaneOn(day, "-start"), 0) << day << output_;
    const std::string said = output_;
    ASSERT_EQ(Shell("cp -a src snap" + std::to_string(day)), 0);
    if (fulls.empty() || day - *fulls.rbegin() >= 7) fulls.insert(day);
    present.insert(day);
    const size_t before = present.size();
    present = ModelKeeps(present, fulls);
    // The run's end line says how many it deleted, and only when it did.
    EXPECT_EQ(said.find("deleted by the keep policy: " + std::to_string(before - present.size())) !=
                  std::string::npos,
              before != present.size())
        << day << said;
  }
  ASSERT_EQ(Archives(), Names(present));
  ASSERT_EQ(Shell("grep -l '\"kind\":\"full\"' out/*.kvnman | sed 's,out/,,; s,.kvnman,,'"), 0);
  std::set<int> keptFulls;
  for (const int day : fulls) {
    if (present.count(day)) keptFulls.insert(day);
  }
  EXPECT_EQ(output_, Names(keptFulls));
  ASSERT_EQ(KelvaneOn(kDays, "-dry-run"), 0) << output_;
  EXPECT_NE(output_.find("  keep   " + Archive(kDays) + " (newest, last 3, day " + DateText(kDays)),
            std::string::npos)
      << output_;
  ASSERT_EQ(KelvaneOn(kDays, "-list"), 0) << output_;
  EXPECT_EQ(output_.find("INCOMPLETE"), std::string::npos) << output_;
  for (const int day : present) {
    const std::string folder = "r" + std::to_string(day);
    ASSERT_EQ(KelvaneOn(kDays, "-restore -to " + folder + " -at " + DateText(day) + "T12:00"), 0)
        << output_;
    ExpectSameTree(dir_.path() + "/snap" + std::to_string(day), dir_.path() + "/" + folder + src_,
                   false, false);
  }

  ASSERT_EQ(Shell("mv src away"), 0);
  EXPECT_EQ(KelvaneOn(kDays, "-start"), 2) << output_;
  EXPECT_EQ(Archives(), Names(present));
  job_.KeepDays = job_.KeepWeeks = 0;
  job_.KeepLast = 1;
  ASSERT_EQ(KelvaneOn(kDays, "-prune -dry-run"), 0) << output_;
  EXPECT_NE(output_.find("  delete " + Archive(*present.begin())), std::string::npos) << output_;
  EXPECT_EQ(Archives(), Names(present));
  ASSERT_EQ(KelvaneOn(kDays, "-prune"), 0) << output_;
  std::set<int> chain;
  for (int day = *fulls.rbegin(); day < kDays; ++day) chain.insert(day);
  EXPECT_EQ(Archives(), Names(chain));
}

// Given dated folder copies beside a link named like one of them (to a
// folder elsewhere), a folder named so in other letter case and a copy whose
// manifest is damaged, when a run keeps only the last point, then the older
// good copy and its manifest go (moved away first, nothing left behind), and
// the link, what it leads to, the other folder and the damaged point stay,
// the damage logged.
TEST_F(RetentionTest, DeletesOnlyThisJobsOwnReadableBackups) {
  job_.Type = kJobTypeFolder;
  job_.ArchiveBitGet = false;
  job_.FullEvery = job_.KeepDays = job_.KeepWeeks = job_.KeepLast = 0;
  File("a.txt", "a");
  ASSERT_EQ(KelvaneOn(1, "-start"), 0) << output_;
  ASSERT_EQ(KelvaneOn(2, "-start"), 0) << output_;
  ASSERT_EQ(Shell("mkdir victim other && echo keep > victim/file && "
                  "ln -s ../victim out/Daily_2026-11-30_03-00 && "
                  "mkdir out/daily_2026-11-29_03-00 && "
                  "echo damaged > out/Daily_2026-12-02_03-00.kvnman"),
            0);
  job_.KeepLast = 1;
  ASSERT_EQ(KelvaneOn(3, "-start"), 0) << output_;
  ASSERT_EQ(Shell("ls -A out victim"), 0);
  EXPECT_EQ(output_,
            "out:\nDaily.kvncat\nDaily.kvnlast.json\nDaily.log\nDaily_2026-11-30_03-00\nDaily_2026-"
            "12-02_03-00\n"
            "Daily_2026-12-02_03-00.kvnman\nDaily_2026-12-04_03-00\n"
            "Daily_2026-12-04_03-00.kvnman\ndaily_2026-11-29_03-00\n\nvictim:\nfile\n");
  ASSERT_EQ(Shell("grep -c 'Daily_2026-12-02_03-00: the manifest cannot be read' out/Daily.log"), 0)
      << output_;
  ASSERT_EQ(Shell("grep -c 'ignore Daily_2026-11-30_03-00 (a link' out/Daily.log"), 0) << output_;
}

}  // namespace
}  // namespace kelvane
