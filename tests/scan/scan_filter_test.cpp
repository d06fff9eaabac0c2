#include <gtest/gtest.h>

#include <string>

#include "log/run_log.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(ScanFilterTest, NormalisesWhiteAndBlackLists) {
  struct Row {
    std::wstring list, spec;
  } rows[] = {
      // clang-format off
      {L"*.*", L""}, {L"*.*;*.doc", L"*.doc"},
      {L"*.doc;*.*", L"*.doc"},  // "*.*" sorts first and only clears what precedes it
      {L"*.txt;*.bak", L"*.bak;*.txt"}, {L";;*.txt;;", L"*.txt"},
      {L" *.txt ; *.txt;\t*.TXT", L"*.TXT;*.txt"}, {L"  ; \t ;\r\n", L""}, {L"a*;*", L"a*"},
      {L"b.log;*;a.log", L"a.log;b.log"}, {L"", L""},
      // clang-format on
  };
  for (const Row& row : rows) {
    std::wstring spec = L"stale";
    ScanContext::SetFileFilter(spec, row.list);
    EXPECT_EQ(spec, row.spec) << Narrow(row.list);
  }
}

class ExcludeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(log_.OpenLog(dir_.Wide("run.log")), 0u); }
  std::vector<std::string> Lines() {
    log_.CloseLog();
    return test::LogLines(dir_.Native("run.log"));
  }
  test::TempDir dir_;
  RunLog log_;
  ScanContext scan_{log_};
};

TEST_F(ExcludeTest, PatternsMatchThePathWithItsSeparatorInItsOwnCase) {
  scan_.options |= kScanLogBlackList;
  scan_.AddExcludeFolder(L"/home/*/.cache");
  scan_.AddExcludeFolder(L"*/node_modules/");
  scan_.AddExcludeFolder(L"*/node_modules");  // the same once normalised
  scan_.AddExcludeFolder(L"/tmp/?");
  EXPECT_EQ(scan_.excludedFolderPatterns,
            (std::vector<std::wstring>{L"*/node_modules/", L"/home/*/.cache/", L"/tmp/?/"}));
  EXPECT_TRUE(scan_.IsExcludedFolder(1, L"/home/Ann/.cache"));
  EXPECT_FALSE(scan_.IsExcludedFolder(1, L"/src/app/Node_Modules/"));
  EXPECT_TRUE(scan_.IsExcludedFolder(1, L"/src/app/node_modules/"));
  EXPECT_TRUE(scan_.IsExcludedFolder(1, L"/tmp/x/"));
  EXPECT_FALSE(scan_.IsExcludedFolder(1, L"/tmp/xy/"));
  EXPECT_FALSE(scan_.IsExcludedFolder(1, L"/home/ann/.cache2/"));
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "(01) Folder: Skip /home/Ann/.cache/, in Blacklist (wildcard).",
                         "(01) Folder: Skip /src/app/node_modules/, in Blacklist (wildcard).",
                         "(01) Folder: Skip /tmp/x/, in Blacklist (wildcard).",
                     }));
}

TEST_F(ExcludeTest, NothingIsExcludedOrLoggedWithoutTheOption) {
  EXPECT_FALSE(scan_.IsExcludedFolder(1, L"/any/"));
  scan_.AddExcludeFolder(L"/any");
  EXPECT_TRUE(scan_.IsExcludedFolder(1, L"/any/"));
  EXPECT_TRUE(Lines().empty());
}

TEST(ScanWorkersTest, UsesHalfTheHardwareThreadsButAtLeastOne) {
  struct Row {
    unsigned threads;
    size_t folders, workers;
  } rows[] = {{8, 1, 1}, {8, 5, 4}, {8, 0, 0}, {0, 5, 2},
              {0, 1, 1}, {1, 3, 1}, {2, 3, 1}, {16, 20, 8}};
  for (const Row& row : rows) {
    EXPECT_EQ(WorkerCount(row.threads, row.folders), row.workers)
        << row.threads << " threads, " << row.folders << " folders";
  }
}

}  // namespace
}  // namespace kelvane
