// Runs that take only what changed: which files a run saves depends on what
// earlier runs of the job saved and where that still is. Played through the
// run driver, with failures and cancels through the file-system seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/run_driver_fixture.h"
#include "run/run_summary.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

using test::LogLines;
using test::PathExists;
using test::ReadBytes;
using test::WriteBytes;

class ChangeCatalogRunTest : public test::RunDriverTest {
 protected:
  void SetUp() override {
    RunDriverTest::SetUp();
    job_.ArchiveBitGet = true;
    job_.ArchiveBitSet = true;
    job_.LogFiles = true;
  }

  // The files the last run took, by their "File: Add" lines.
  std::vector<std::string> Added() const {
    std::vector<std::string> added;
    for (const std::string& line : LogLines(dir_.Native("out/Daily.log"))) {
      const size_t at = line.find("File: Add " + src_);
      if (at != std::string::npos) added.push_back(line.substr(at + 10 + src_.size()));
    }
    std::sort(added.begin(), added.end());
    return added;
  }
  // Dated archives of runs within one minute would share a name: each run
  // gets an hour of its own.
  void RunInHour(int hour) { clock_.wallSeconds = 1765101600 + hour * 3600; }
  std::string Catalog() const { return ReadBytes(dir_.Native("out/Daily.kvncat")); }

  test::FakeClock clock_;

  using Files = std::vector<std::string>;
};

// Given a folder job that takes changed files and records what it saved,
// then a second run saves nothing, and after one file is rewritten with the
// same bytes and one is added, a third run saves exactly those two.
TEST_F(ChangeCatalogRunTest, AFolderJobSavesOnlyWhatChangedSinceTheLastRun) {
  EXPECT_EQ(Run().savedFiles, 2u);
  EXPECT_TRUE(LogHas("Change catalog " + dir_.Native("out/Daily.kvncat") +
                     " not found: every file counts as changed."));
  const RunReport second = Run();
  EXPECT_EQ(second.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(second.savedFiles, 0u);
  EXPECT_EQ(Added(), Files{});
  WriteBytes(src_ + "/a.txt", "alpha");  // the same bytes: still a change
  WriteBytes(src_ + "/sub/new.txt", "new");
  EXPECT_EQ(Run().savedFiles, 2u);
  EXPECT_EQ(Added(), (Files{"/a.txt.", "/sub/new.txt."}));
  EXPECT_EQ(ReadBytes(Copied() + "/sub/new.txt"), "new");
  EXPECT_EQ(Run().savedFiles, 0u);
}

// An archive without a date is replaced by the next run, so that run must
// hold everything again.
TEST_F(ChangeCatalogRunTest, AnArchiveReplacedByTheRunTakesEverythingAgain) {
  job_.Type = kJobTypeZip;
  EXPECT_EQ(Run().savedFiles, 2u);
  EXPECT_EQ(Run().savedFiles, 2u);
  EXPECT_TRUE(LogHas("Change catalog: the files saved in " + dir_.Native("out/Daily.zip") +
                     " count as changed again (replaced by this run)."));
}

// Dated 7z archives: each holds what changed since the one before (what
// their manifests say, the restore tests read back); when an older one is
// deleted, what only it held is saved again.
TEST_F(ChangeCatalogRunTest, DatedArchivesHoldWhatChangedAndADeletedOneIsMadeGood) {
  job_.Type = kJobTypeSevenZip;
  job_.AddDate = true;
  RunInHour(1);
  const RunReport first = Run();
  ASSERT_EQ(first.savedFiles, 2u);
  RunInHour(2);
  WriteBytes(src_ + "/sub/b.txt", "beta 2");
  const RunReport second = Run();
  EXPECT_EQ(Added(), Files{"/sub/b.txt."});
  EXPECT_NE(second.archivePath, first.archivePath);
  ASSERT_EQ(::unlink(platform::ToNative(first.archivePath).c_str()), 0);
  ASSERT_EQ(::unlink((src_ + "/sub/b.txt").c_str()), 0);
  RunInHour(3);
  const RunReport third = Run();
  EXPECT_EQ(third.savedFiles, 1u);
  EXPECT_EQ(Added(), Files{"/a.txt."});
  EXPECT_TRUE(LogHas("count as changed again (no longer there)."));
}

// Without recording, every run saves everything changed since the last run
// that recorded (a differential backup), and leaves the catalog as it was.
TEST_F(ChangeCatalogRunTest, TakingWithoutRecordingIsDifferential) {
  job_.ArchiveBitGet = false;
  EXPECT_EQ(Run().savedFiles, 2u);
  const std::string recorded = Catalog();
  job_.ArchiveBitGet = true;
  job_.ArchiveBitSet = false;
  WriteBytes(src_ + "/a.txt", "alpha 2");
  EXPECT_EQ(Run().savedFiles, 1u);
  WriteBytes(src_ + "/sub/b.txt", "beta 2");
  EXPECT_EQ(Run().savedFiles, 2u);
  EXPECT_EQ(Added(), (Files{"/a.txt.", "/sub/b.txt."}));
  EXPECT_EQ(Catalog(), recorded);
  // Recording without taking saves all and starts the catalog afresh.
  job_.ArchiveBitGet = false;
  job_.ArchiveBitSet = true;
  EXPECT_EQ(Run().savedFiles, 2u);
  job_.ArchiveBitGet = true;
  EXPECT_EQ(Run().savedFiles, 0u);
}

class FailedFileRunTest : public ChangeCatalogRunTest,
                          public ::testing::WithParamInterface<uint32_t> {};

// A file that could not be saved, whether it vanished before it was opened
// or its reading failed half-way, loses only itself: it is named in the log
// with the system's reason, counts as an error, the rest is saved and passes
// its check, and it stays "changed" for the next run; the others do not.
TEST_P(FailedFileRunTest, AFileThatFailedIsTakenAgainNextTime) {
  job_.Type = GetParam();
  job_.AddDate = true;
  job_.TestFiles = true;
  const auto isA = [](const std::wstring& path) { return path.ends_with(L"/a.txt"); };
  struct Row {
    int error;
    bool halfWay;
  } rows[] = {{ENOENT, false}, {EIO, true}};
  int hour = 0;
  for (const Row& row : rows) {
    // Both files changed since any earlier run.
    WriteBytes(src_ + "/a.txt", std::string(3 << 20, static_cast<char>('a' + hour)));
    WriteBytes(src_ + "/sub/b.txt", std::to_string(hour));
    RunInHour(++hour);
    {
      test::FaultyFileSystem fs;
      fs.failCopy = [&](const std::wstring& path) { return isA(path) ? row.error : 0; };
      if (row.halfWay) {
        fs.failRead = [&](const std::wstring& path, uint64_t read) {
          return isA(path) && read >= (1 << 20) ? row.error : 0;
        };
      } else {
        fs.failOpenFile = fs.failCopy;
      }
      const RunReport first = Run();
      EXPECT_EQ(first.outcome, RunOutcome::kCompletedWithErrors) << row.error;
      EXPECT_EQ(first.errorCount, 1u) << row.error;
      EXPECT_EQ(first.savedFiles, 1u) << row.error;
      EXPECT_EQ(first.verification, Verification::kPassed) << row.error;
      EXPECT_TRUE(LogHas("Backup file /")) << row.error;
      EXPECT_TRUE(LogHas("/a.txt failed." + platform::ToUtf8(ErrorText(row.error)))) << row.error;
      EXPECT_EQ(host_.questions.size(), 1u) << "the end offers the log";
      host_.questions.clear();
      RunSummary summary;
      summary.report = first;
      EXPECT_NE(SummaryText(summary).find("\"filesFailed\" : 1"), std::string::npos);
    }
    RunInHour(++hour);
    EXPECT_EQ(Run().savedFiles, 1u) << row.error;
    EXPECT_EQ(Added(), Files{"/a.txt."}) << row.error;
  }
}

// A file that keeps changing while it is read (a log being written) is
// never saved torn in silence: "changed while it was read", an error of the
// run, and left out of the catalog so the next run takes it again.
TEST_P(FailedFileRunTest, AFileThatKeepsChangingWhileItIsReadIsAnError) {
  job_.Type = GetParam();
  const std::string growing = src_ + "/growing.dat";
  WriteBytes(growing, std::string(32 << 20, 'g'));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const int fd = ::open(growing.c_str(), O_WRONLY | O_APPEND);
    while (!stop) (void)!::write(fd, "x", 1);
    ::close(fd);
  });
  const RunReport report = Run();
  stop = true;
  writer.join();
  EXPECT_EQ(report.outcome, RunOutcome::kCompletedWithErrors);
  EXPECT_TRUE(LogHas("/growing.dat failed. Changed while it was read."));
  EXPECT_EQ(Catalog().find("growing.dat"), std::string::npos);
  EXPECT_NE(Catalog().find("a.txt"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, FailedFileRunTest,
                         ::testing::Values(kJobTypeFolder, kJobTypeZip, kJobTypeSevenZip));

// A cancelled run changes nothing: what it did not finish is taken again.
TEST_F(ChangeCatalogRunTest, ACancelledRunLeavesTheCatalogAsItWas) {
  for (int i = 0; i < 20; ++i) WriteBytes(src_ + "/many/f" + std::to_string(i) + ".txt", "x");
  ASSERT_EQ(Run().savedFiles, 22u);
  const std::string recorded = Catalog();
  for (int i = 0; i < 20; ++i) WriteBytes(src_ + "/many/f" + std::to_string(i) + ".txt", "y");
  {
    test::FaultyFileSystem fs;
    std::atomic<int> copied{0};
    fs.failCopy = [&copied](const std::wstring&) {
      if (++copied >= 3) test::WaitUntil([] { return vxstl::runCancelled.load(); });
      return 0;
    };
    host_.cancelWhen = [&copied] { return copied >= 3; };
    EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
    host_.cancelWhen = nullptr;
    host_.cancelled = false;
  }
  EXPECT_EQ(Catalog(), recorded);
  EXPECT_EQ(Run().savedFiles, 20u);
}

// What another user could have written or planted is not believed: a
// catalog in a folder others may write to, a catalog of another owner, or a
// target another user made (a fake empty dated archive). Each means a full
// run, said in one line; the victim file is saved.
TEST_F(ChangeCatalogRunTest, AForgedCatalogChangesNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  job_.AddDate = true;
  const std::string out = dir_.Native("out");
  struct Row {
    std::string forge;  // a shell command in the archive folder
    std::string said;   // in the log
  } rows[] = {
      {"chmod 1777 .", "lies in a folder other users may write to"},
      {"chown 65534 Daily.kvncat", "may have been written by another user"},
      {"chown 65534 Daily_*", "count as changed again (not made by root or this user)"},
  };
  int hour = 0;
  for (const Row& row : rows) {
    WriteBytes(src_ + "/a.txt", "version " + std::to_string(hour));
    RunInHour(++hour);
    ASSERT_GE(Run().savedFiles, 1u);
    RunInHour(++hour);
    ASSERT_EQ(Run().savedFiles, 0u) << "unchanged files are left out";
    ASSERT_EQ(test::RunShell("cd '" + out + "' && " + row.forge), 0) << row.forge;
    RunInHour(++hour);
    EXPECT_EQ(Run().savedFiles, 2u) << row.forge;
    EXPECT_TRUE(LogHas(row.said)) << row.forge;
    ASSERT_EQ(test::RunShell("cd '" + out + "' && chmod 700 . && chown -R 0 ."), 0);
  }
}

// A folder copy is written out to disk before it takes its name and the
// catalog vouches for it; when that fails, the run fails saying so, and
// neither the copy nor the catalog stands.
TEST_F(ChangeCatalogRunTest, AFolderCopyIsOnDiskBeforeItStandsOrIsVouchedFor) {
  for (const int error : {0, EIO}) {
    std::filesystem::remove_all(dir_.Native("out"));
    test::FaultyFileSystem fs;
    std::vector<std::string> events;
    fs.failSync = [&](const std::wstring& path) {
      if (path.ends_with(L"/out/")) events.push_back("sync");
      return path.ends_with(L"/out/") ? error : 0;
    };
    fs.failReplace = [&](const std::wstring&, const std::wstring& target) {
      if (target.ends_with(L"/Daily")) events.push_back("named");
      if (target.ends_with(L"Daily.kvncat")) events.push_back("catalog");
      return 0;
    };
    const RunReport report = Run();
    if (error == 0) {
      EXPECT_EQ(report.result, 0u);
      EXPECT_EQ(events, (std::vector<std::string>{"sync", "named", "catalog"}));
    } else {
      EXPECT_EQ(report.result, static_cast<uint32_t>(EIO));
      EXPECT_EQ(events, std::vector<std::string>{"sync"});
      EXPECT_FALSE(PathExists(dir_.Native("out/Daily")));
      EXPECT_FALSE(PathExists(dir_.Native("out/Daily.kvncat")));
      EXPECT_TRUE(LogHas("to disk failed. Code: 5, Input/output error."));
    }
  }
}

// A catalog that is damaged, larger than the machine could read, with a
// line longer than any the program writes, or a link planted at its name is
// not believed: a full run (never an aborted one), said in one line, and a
// new catalog.
TEST_F(ChangeCatalogRunTest, ACatalogThatCannotBeTrustedMeansAFullRun) {
  ASSERT_EQ(Run().savedFiles, 2u);
  const uint64_t huge = static_cast<uint64_t>(::sysconf(_SC_PHYS_PAGES)) *
                            static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) / 4 +
                        1;
  const std::pair<std::string, std::string> rows[] = {
      {"head -c 30 Daily.kvncat > cut && mv cut Daily.kvncat", "is damaged ("},
      {"printf '\\000\\377 garbage' > Daily.kvncat", "is damaged ("},
      {": > Daily.kvncat", "is damaged ("},
      {"truncate -s " + std::to_string(huge) + " Daily.kvncat", "is larger than this machine"},
      {"(echo 'kelvane change catalog 1'; head -c 20000000 /dev/zero | tr '\\0' x) > Daily.kvncat",
       "a line longer than any it writes"},
      {"mv Daily.kvncat ../elsewhere && ln -s ../elsewhere Daily.kvncat",
       "is not a plain file: every file counts as changed."},
  };
  for (const auto& [damage, said] : rows) {
    ASSERT_EQ(test::RunShell("cd '" + dir_.Native("out") + "' && " + damage), 0) << damage;
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunOutcome::kCompleted) << damage;
    EXPECT_EQ(report.savedFiles, 2u) << damage;
    EXPECT_TRUE(LogHas(said)) << damage;
    EXPECT_EQ(Run().savedFiles, 0u) << damage << ": no new catalog was written";
  }
}

}  // namespace
}  // namespace kelvane
