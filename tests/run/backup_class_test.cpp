#include "run/backup_class.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>

#include "language/language_table.h"
#include "log/run_log.h"
#include "scan/scan_context.h"
#include "support/fake_run_host.h"
#include "support/test_support.h"
#include "util/error_text.h"
#include "util/template_format.h"

namespace kelvane::vxstl {
namespace {

using namespace std::chrono_literals;

class BackupClassTest : public ::testing::Test {
 protected:
  void SetUp() override { runCancelled = false; }

  // A scan result of `files` files of `size` bytes each.
  void Files(int files, uint64_t size) {
    ScannedFolder folder{L"/data/", {}, {}, {}};
    for (int i = 0; i < files; ++i) {
      ScannedFile file;
      file.size = size;
      file.attributes = 0x20;
      folder.AddFile(file, "f");
    }
    scan_.results.push_back(folder);
    run_.scan = &scan_;
  }

  LanguageTable texts_;
  test::FakeRunHost host_;
  RunLog log_;
  ScanContext scan_{log_};
  BackupClass run_{host_, texts_, log_};
};

TEST_F(BackupClassTest, OneNoFromTheCallbackStopsTheTaskForGood) {
  test::FakeClock clock;
  std::atomic<int> calls{0};
  run_.progressCallback = [&calls](BackupClass*) { return ++calls != 1; };  // no, then yes
  auto task = std::async(std::launch::async, [&] {
    test::WaitUntil([&] { return run_.cancelRequested && calls >= 3; });  // two ticks answered yes
    return 0u;
  });
  run_.PumpingWait(task);
  EXPECT_GE(calls.load(), 3);
  EXPECT_TRUE(run_.cancelRequested);
  EXPECT_EQ(host_.pumps, calls.load());
}

TEST_F(BackupClassTest, ProgressLinesShowFilesSizesAndTime) {
  Files(4, 1610612736);  // 4 x 1.5 GB
  run_.PrepareTotals();
  EXPECT_EQ(run_.totalFiles, 4u);
  EXPECT_EQ(run_.totalBytes, 6442450944u);
  EXPECT_EQ(run_.totalSizeText, L"6.00 GB");
  run_.filesTemplate = texts_.GetText(L"ui_processed_files");
  run_.sizeTemplate = texts_.GetText(L"ui_processed_kb");
  run_.timeTemplate1 = texts_.GetText(L"ui_estimatetime1");
  run_.timeTemplate2 = texts_.GetText(L"ui_estimatetime2");
  run_.estimator = TimeEstimate(run_.totalBytes);

  run_.processedFiles = 3;
  run_.processedBytes = 1610612736;
  EXPECT_TRUE(run_.UpdateRunProgress());
  ASSERT_EQ(host_.lines.size(), 3u);
  EXPECT_EQ(host_.lines[0], L"Anzahl: 3 von 4 (75%)");
  EXPECT_EQ(host_.lines[1], L"Größe: 1.50 GB von 6.00 GB (25%)");
  EXPECT_TRUE(host_.lines[2].starts_with(L"Zeit: "))
      << std::string(host_.lines[2].begin(), host_.lines[2].end());
  EXPECT_NE(host_.lines[2].find(L"Restzeit"), std::wstring::npos);
  EXPECT_EQ(host_.position, 3u);

  // Below 5 percent only the elapsed time shows.
  run_.processedBytes = 4 * 64424509;  // 4 percent
  run_.UpdateRunProgress();
  EXPECT_EQ(host_.lines[2].find(L"Restzeit"), std::wstring::npos);
  run_.processedBytes = 5 * 64424509 + 1000;  // 5 percent
  run_.UpdateRunProgress();
  EXPECT_NE(host_.lines[2].find(L"Restzeit"), std::wstring::npos);

  runCancelled = true;
  EXPECT_FALSE(run_.UpdateRunProgress());
}

TEST_F(BackupClassTest, FilePercentageOfNoFilesIsMinusOne) {
  run_.scan = &scan_;
  run_.PrepareTotals();
  run_.filesTemplate = L"[1]/[2]/[3]";
  run_.UpdateRunProgress();
  EXPECT_EQ(host_.lines[0], L"0/0/-1");
}

// Exactly enough room passes; one byte less is a shortage, said with what is
// needed and what is free.
TEST_F(BackupClassTest, DiskSpaceMustHoldTheWholeBackup) {
  Files(10, 1024);
  run_.archivePath = L"/backup/Daily/";
  run_.PrepareTotals();
  for (const uint64_t free : {10240u, 10239u}) {
    host_.messages.clear();
    test::FaultyFileSystem fs;
    fs.freeSpace = [free](uint64_t* bytes) { return *bytes = free, 0; };
    EXPECT_EQ(run_.CheckDiskSpace(), free == 10240u);
    EXPECT_EQ(run_.freeBytes, free);
    EXPECT_EQ(host_.messages, free == 10240u
                                  ? std::vector<std::wstring>{}
                                  : std::vector<std::wstring>{
                                        L"Der Platz auf /backup/Daily/ reicht nicht aus.\nBenötigt "
                                        L"werden 10.0 KB,\nvorhanden sind 9.99 KB."});
  }
}

// Given a free-space query that fails, the run stops, and says why (not that
// 0 bytes are free).
TEST_F(BackupClassTest, FailedFreeSpaceQueryIsSaidAndStopsTheRun) {
  test::TempDir dir;
  ASSERT_EQ(log_.OpenLog(dir.Wide("run.log")), 0u);
  test::FaultyFileSystem fs;
  fs.freeSpace = [](uint64_t* bytes) { return *bytes = 0, EIO; };
  Files(1, 1);
  run_.archivePath = L"/net/share/Daily.zip";
  run_.PrepareTotals();
  EXPECT_FALSE(run_.CheckDiskSpace());
  log_.CloseLog();
  EXPECT_EQ(test::LogLines(dir.Native("run.log")),
            std::vector<std::string>{"GetDiskFreeSpaceExW(/net/share/Daily.zip) failed, Error: 5"});
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(
      host_.messages[0],
      PrintFEx(texts_.GetText(L"diskspace_unknown"), {L"/net/share/Daily.zip"}) + ErrorText(EIO));
}

TEST_F(BackupClassTest, StoredPathDropsOnlyTheRootSeparator) {
  EXPECT_EQ(StoredPathStart(L"/home/ann/Data/"), 1u);
  EXPECT_EQ(StoredPathStart(L"/"), 1u);
  EXPECT_EQ(StoredPathStart(L"relative/dir/"), 0u);
}

}  // namespace
}  // namespace kelvane::vxstl
