#include "log/run_log.h"

#include <gtest/gtest.h>

#include <clocale>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace kelvane {
namespace {

using test::LogLines;
using test::ReadBytes;
using test::TempDir;

class RunLogTest : public ::testing::Test {
 protected:
  RunLogTest() { clock_.wallSeconds = 1765108800; }  // 2025-12-07 12:00:00 UTC
  void TearDown() override { log_.CloseLog(); }
  // Noon in UTC is the same day in every zone within eleven hours of it; the
  // minutes may differ by the zone's offset, the seconds may not.
  test::FakeClock clock_;
  TempDir dir_;
  RunLog log_;
};

// A run's log holds its own lines only (an earlier run's go), UTF-8, each
// with its date and an LF.
TEST_F(RunLogTest, WritesPrefixedUtf8LinesWithLfEnds) {
  ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u);
  log_.WriteLogLine(L"an earlier run");
  log_.CloseLog();
  ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u);
  log_.WriteLogLine(L"plain %s text");
  log_.WriteLogFormat(L"Backup file %s failed.%s", std::wstring(L"/x/Файл.txt"), L" Code: 2.");
  log_.CloseLog();
  const std::string content = ReadBytes(dir_.Native("run.log"));
  EXPECT_TRUE(std::regex_match(content, std::regex(R"((\[12/07/25 \d\d:\d\d:00\] [^\n]*\n){2})")))
      << content;
  EXPECT_EQ(LogLines(dir_.Native("run.log")),
            (std::vector<std::string>{
                "plain %s text",
                "Backup file /x/\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt failed. Code: 2."}));
}

TEST_F(RunLogTest, PrefixFollowsTheLocaleOfTheEnvironment) {
  if (!std::setlocale(LC_TIME, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
  ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u);
  log_.WriteLogLine(L"x");
  log_.CloseLog();
  std::setlocale(LC_TIME, "C");
  // German short date and time: [07.12.2025 12:00:00]
  EXPECT_TRUE(std::regex_match(ReadBytes(dir_.Native("run.log")),
                               std::regex(R"(\[07\.12\.2025 \d\d:\d\d:00\] x\n)")))
      << ReadBytes(dir_.Native("run.log"));
}

TEST_F(RunLogTest, ClosedLogDropsLinesAndUncreatableLogReports1627) {
  log_.WriteLogLine(L"dropped");
  log_.CloseLog();
  EXPECT_EQ(log_.OpenLog(dir_.Wide("no/such/folder/run.log")), 1627u);
  log_.WriteLogLine(L"dropped too");
  log_.CloseLog();
  EXPECT_FALSE(test::PathExists(dir_.Native("no")));
}

// Given a name that is not UTF-8, a text with a lone surrogate, or a line
// break and a terminal escape, the log stays one valid UTF-8 line an event
// and still shows the name's exact bytes.
TEST_F(RunLogTest, ForeignBytesAreShownAsEscapesAndLoneSurrogatesReplaced) {
  ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u);
  std::wstring text = L"name-";
  text.push_back(static_cast<wchar_t>(0xD800));
  text.push_back(static_cast<wchar_t>(0xDCE9));  // an escaped byte of a Latin-1 name
  text += L"-end";
  log_.WriteLogLine(text);
  // A name cannot forge a line of its own, nor send the terminal a command.
  log_.WriteLogLine(L"evil\n[06.12.2026 03:00:00] (01) File: Add /etc/shadow\x1b]0;t\x07");
  log_.CloseLog();
  EXPECT_EQ(LogLines(dir_.Native("run.log")),
            (std::vector<std::string>{
                "name-\xEF\xBF\xBD\\xE9-end",
                "evil\\x0A[06.12.2026 03:00:00] (01) File: Add /etc/shadow\\x1B]0;t\\x07"}));
}

// Given eight threads writing at once, every line arrives whole with its prefix.
TEST_F(RunLogTest, LinesFromManyThreadsNeverInterleave) {
  ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 2000; ++i) {
        log_.WriteLogFormat(L"(%02ld) thread line %ld of a reasonably long text %s", t, i,
                            std::wstring(40, L'x'));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  log_.CloseLog();
  const std::vector<std::string> lines = LogLines(dir_.Native("run.log"));
  ASSERT_EQ(lines.size(), 16000u);
  std::set<std::string> unique(lines.begin(), lines.end());
  EXPECT_EQ(unique.size(), 16000u);
  const std::regex shape(R"(\(0\d\) thread line \d+ of a reasonably long text x{40})");
  for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, shape)) << line;
}

}  // namespace
}  // namespace kelvane
