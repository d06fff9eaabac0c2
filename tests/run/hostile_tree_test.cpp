// Whole runs over trees and folders that other users control: what they can
// arrange (swaps after the scan, links at output names, a second run, names
// that climb out, leftovers) never turns the backup against its user. Races
// are played deterministically through the file-system seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "run/run_driver_fixture.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

using platform::FromNative;
using test::FilesBelow;
using test::LogLines;
using test::PathExists;
using test::ReadBytes;
using test::RunShell;
using test::WriteBytes;

class HostileTreeTest : public test::RunDriverTest {
 protected:
  // Everything the target holds, extracted with the tool a user would use,
  // as one text: what a reader of the backup gets.
  std::string TargetContent() {
    std::string content;
    const std::string x = dir_.Native("extracted");
    switch (job_.Type) {
      case kJobTypeFolder:
        RunShell("cat $(find '" + dir_.Native("out/Daily") + "' -type f | sort)", &content);
        break;
      case kJobTypeZip:
        RunShell("unzip -p '" + dir_.Native("out/Daily.zip") + "'", &content);
        break;
      default:
        RunShell("mkdir '" + x + "' && cd '" + x + "' && 7z x -bd '" + dir_.Native("out/Daily.7z") +
                     "' >/dev/null && cat $(find . -type f | sort)",
                 &content);
    }
    return content;
  }

  void Plant(const std::string& name, const std::string& target) {
    ASSERT_EQ(::symlink(target.c_str(), name.c_str()), 0) << name;
  }
};

class SwappedSourceTest : public HostileTreeTest, public ::testing::WithParamInterface<uint32_t> {};

// Given a scan that saw a.txt, the folder sub and the link l.lnk, when the
// first two are swapped for links to another user's secrets and the link for
// a file of theirs just before the target reads them, then nothing of the
// secrets gets into the backup, for every target type, and each swap is
// logged and counted.
TEST_P(SwappedSourceTest, SourcesSwappedForLinksAfterTheScanAreNeverRead) {
  job_.Type = GetParam();
  job_.IncludeLinks = true;
  WriteBytes(dir_.Native("secret.txt"), "SECRET-FILE");
  WriteBytes(dir_.Native("secrets/b.txt"), "SECRET-FOLDER");
  WriteBytes(dir_.Native("copied-secret"), "SECRET-COPY");
  Plant(src_ + "/l.lnk", "a.txt");
  test::FaultyFileSystem fs;
  const auto swapFile = [this](const std::wstring& path) {
    if (path == FromNative(src_ + "/a.txt")) {
      EXPECT_EQ(::unlink((src_ + "/a.txt").c_str()), 0);
      Plant(src_ + "/a.txt", dir_.Native("secret.txt"));
    } else if (path == FromNative(src_ + "/l.lnk")) {
      // A link the scan saw, now a file of someone else's.
      EXPECT_EQ(::rename(dir_.Native("copied-secret").c_str(), (src_ + "/l.lnk").c_str()), 0);
    }
    return 0;
  };
  // Copies open the source themselves; archives open it first.
  (job_.Type == kJobTypeFolder ? fs.failCopy : fs.failOpenFile) = swapFile;
  fs.failOpenFolder = [this](const std::wstring& path) {
    // The target phase opens the scanned folder by its path.
    if (path == FromNative(src_ + "/sub/")) {
      EXPECT_EQ(::rename((src_ + "/sub").c_str(), dir_.Native("sub-away").c_str()), 0);
      Plant(src_ + "/sub", dir_.Native("secrets"));
    }
    return 0;
  };
  const RunReport report = Run();

  EXPECT_EQ(report.outcome, RunOutcome::kCompletedWithErrors);
  EXPECT_EQ(report.errorCount, 3u);
  const std::string content = TargetContent();
  EXPECT_EQ(content.find("SECRET"), std::string::npos) << content;
  const std::string reported = job_.Type == kJobTypeFolder ? Copied() : src_;
  std::vector<std::string> lines = LogLines(dir_.Native("out/Daily.log"));
  std::sort(lines.begin(), lines.end());  // 7-Zip asks for files in an order of its own
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Backup file " + reported + "/a.txt failed. Changed since the scan.",
                       "Backup file " + reported + "/l.lnk failed. Changed since the scan.",
                       "Backup file " + reported + "/sub/b.txt failed. Changed since the scan."}));
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, SwappedSourceTest,
                         ::testing::Values(kJobTypeFolder, kJobTypeZip, kJobTypeSevenZip));

// Given a password typed into the job file in plain text, the run refuses the
// job instead of writing an archive without the password (or with garbage).
TEST_F(HostileTreeTest, APasswordThatCannotBeDecipheredRefusesTheJob) {
  job_.Type = kJobTypeZip;
  JsonDocument doc;
  ASSERT_TRUE(WriteJobToDocument(job_, doc));
  std::string text = doc.Print();
  const std::string empty = "\"ArchivePassword\" : \"\"";
  ASSERT_NE(text.find(empty), std::string::npos);
  text.replace(text.find(empty), empty.size(), "\"ArchivePassword\" : \"secret\"");
  ASSERT_TRUE(doc.Parse(text).ok());
  EXPECT_EQ(driver_.Run(doc).outcome, RunOutcome::kJobUnreadable);
  EXPECT_EQ(host_.messages, std::vector<std::wstring>{texts_.GetText(L"password_unreadable")});
  EXPECT_FALSE(PathExists(dir_.Native("out")));
}

TEST_F(HostileTreeTest, ArchiveNamesThatLeaveTheArchiveFolderAreRefused) {
  for (const std::wstring& name :
       {std::wstring(), std::wstring(L"."), std::wstring(L".."), std::wstring(L"a/b"),
        std::wstring(L"../escape"), std::wstring(L"x\0y", 3)}) {
    host_.messages.clear();
    job_.ArchiveName = name;
    EXPECT_EQ(Run().outcome, RunOutcome::kJobUnreadable) << platform::ToNative(name);
    // A message text ends at a null character, as every filled-in text does.
    const std::wstring shown = name.substr(0, name.find(L'\0'));
    EXPECT_EQ(host_.messages,
              std::vector<std::wstring>{L"Der Archivname \"" + shown +
                                        (shown == name ? L"\" ist nicht zulässig: er darf nicht "
                                                         L"leer, \".\" oder \"..\" sein und kein "
                                                         L"\"/\" enthalten."
                                                       : L"")});
  }
  EXPECT_EQ(test::NamesIn(dir_.path()), std::vector<std::string>{"src"});
}

// Given a job whose second include folder is missing (an unmounted disk, a
// typo), the run fails with a message naming it and keeps the older archive.
TEST_F(HostileTreeTest, AMissingIncludeFolderFailsTheRunAndKeepsTheOlderArchive) {
  job_.Type = kJobTypeZip;
  job_.IncludeFolders.push_back(dir_.Wide("unmounted/disk"));
  WriteBytes(dir_.Native("out/Daily.zip"), "older archive");
  const RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kAborted);
  EXPECT_EQ(host_.messages,
            std::vector<std::wstring>{L"Der zu sichernde Ordner " + dir_.Wide("unmounted/disk/") +
                                      L" kann nicht gelesen werden. Code: 2, No such file or "
                                      L"directory. Das Backup wurde nicht erstellt; ein älteres "
                                      L"bleibt unverändert."});
  EXPECT_EQ(ReadBytes(dir_.Native("out/Daily.zip")), "older archive");
  EXPECT_EQ(test::NamesIn(dir_.Native("out")), std::vector<std::string>{"Daily.zip"});
}

// Given a log that cannot be created or fills the disk, the end of the run
// says so with the reason instead of pointing at a log that does not exist.
TEST_F(HostileTreeTest, ALogThatCannotBeWrittenIsReportedWithItsReason) {
  job_.LogFiles = true;
  for (const int failure : {ENOSPC, EACCES}) {
    host_.messages.clear();
    test::FaultyFileSystem fs;
    const auto isLog = [](const std::wstring& path) { return path.ends_with(L"/Daily.log"); };
    if (failure == ENOSPC) {
      fs.failWrite = [&](const std::wstring& path, uint64_t) { return isLog(path) ? ENOSPC : 0; };
    } else {
      fs.failCreate = [&](const std::wstring& path) { return isLog(path) ? EACCES : 0; };
    }
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunOutcome::kCompletedWithErrors);
    EXPECT_EQ(report.errorCount, 1u);
    EXPECT_TRUE(host_.questions.empty());
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], L"Das Protokoll " + dir_.Wide("out/Daily.log") +
                                     L" konnte nicht geschrieben werden." +
                                     ErrorText(static_cast<uint32_t>(failure)));
  }
  EXPECT_EQ(ReadBytes(Copied() + "/a.txt"), "alpha");
}

// Given temporary files left by killed runs of this job, a run removes them
// under its lock, and leaves alone what belongs to another job or to a user.
TEST_F(HostileTreeTest, LeftoversOfKilledRunsAreRemoved) {
  const std::vector<std::string> others = {".Daily2.zip.kvn-1-1.tmp", ".Daily.zip.kvn-tmp",
                                           "notes.kvn-1-1.tmp"};
  for (const std::string& name : others) WriteBytes(dir_.Native("out/" + name), "keep");
  WriteBytes(dir_.Native("out/.Daily.zip.kvn-99999-7.tmp"), "left by a killed run");
  WriteBytes(dir_.Native("out/.Daily_2026-01-01_00-00.zip.kvn-1-1.tmp"), "left by a dated run");
  WriteBytes(dir_.Native("out/.Daily.zip.kvnman.kvn-9-9.tmp"), "half a manifest");
  WriteBytes(dir_.Native("out/.Daily.kvncat.kvn-3-3.tmp/Daily.zip.kvnman"), "a location's, staged");
  WriteBytes(dir_.Native("out/Daily/.kvn-5-5.tmp"), "left by a killed folder run");
  WriteBytes(dir_.Native("out/Daily_2026-01-01_00-00/.kvn-5-6.tmp"), "left by a dated one");
  WriteBytes(dir_.Native("out/Daily/keep.tmp"), "a user's file");
  WriteBytes(dir_.Native("out/.Daily_2026-01-02_00-00.kvn-5-7.tmp/deep/a.txt"), "half a copy");
  WriteBytes(dir_.Native("out/Daily/deep/.kvn-5-8.tmp"), "left by an update");
  WriteBytes(dir_.Native("out/Daily/.kelvane/update-in-progress"), "");

  job_.Type = kJobTypeZip;
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);
  job_.Type = kJobTypeFolder;
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);

  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {"Daily", "Daily.kvncat", "Daily.kvnman", "Daily.log",
                                   "Daily.zip", "Daily.zip.kvnman", "Daily_2026-01-01_00-00"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::NamesIn(dir_.Native("out")), expected);
  EXPECT_EQ(test::NamesIn(dir_.Native("out/Daily_2026-01-01_00-00")), std::vector<std::string>{});
  EXPECT_EQ(ReadBytes(dir_.Native("out/Daily/keep.tmp")), "a user's file");
  EXPECT_FALSE(test::HoldsTemporary(dir_.Native("out/Daily"), ""));
  std::vector<std::string> lines = LogLines(dir_.Native("out/Daily.log"));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Removed " + dir_.Native("out/.Daily_2026-01-02_00-00.kvn-5-7.tmp") +
                           ", left by an earlier run that did not end.",
                       "Removed " + dir_.Native("out/Daily/.kvn-5-5.tmp") +
                           ", left by an earlier run that did not end.",
                       "Removed " + dir_.Native("out/Daily/deep/.kvn-5-8.tmp") +
                           ", left by an earlier run that did not end.",
                       "Removed " + dir_.Native("out/Daily_2026-01-01_00-00/.kvn-5-6.tmp") +
                           ", left by an earlier run that did not end."}))
      << "the folder run's log";
}

// Given a permissive umask, every output is still for its owner only: a root
// backup of /home must not become readable by every user. The copy's folders
// from the top down to the include folder are the run's own; below, each
// folder has its source's mode, as cp -a gives it, behind them.
TEST_F(HostileTreeTest, OutputsAreReadableByTheirOwnerOnly) {
  WriteBytes(src_ + "/open.txt", "readable by all in the source");
  job_.LogFiles = true;
  const mode_t umask = ::umask(0);
  for (const uint32_t type : {kJobTypeFolder, kJobTypeZip, kJobTypeSevenZip}) {
    job_.Type = type;
    EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
  }
  ::umask(umask);
  for (const std::string name : {"Daily.zip", "Daily.7z", "Daily.log"}) {
    struct stat status;
    ASSERT_EQ(::stat(dir_.Native("out/" + name).c_str(), &status), 0) << name;
    EXPECT_EQ(status.st_mode & 07777, 0600u) << name;
  }
  for (std::string folder = Copied().substr(0, Copied().rfind('/'));
       folder.size() >= dir_.Native("out/Daily").size();
       folder = folder.substr(0, folder.rfind('/'))) {
    struct stat status;
    ASSERT_EQ(::stat(folder.c_str(), &status), 0) << folder;
    EXPECT_EQ(status.st_mode & 07777, 0700u) << folder;
  }
}

class ArchiveSyncTest : public HostileTreeTest, public ::testing::WithParamInterface<uint32_t> {};

// Given an archive whose bytes cannot be forced to disk, the run fails and
// the older archive stays: an archive is only as good as what the disk holds.
TEST_P(ArchiveSyncTest, AnArchiveThatCannotBeSyncedNeverReplacesTheOlderOne) {
  job_.Type = GetParam();
  const std::string archive =
      dir_.Native(job_.Type == kJobTypeZip ? "out/Daily.zip" : "out/Daily.7z");
  WriteBytes(archive, "older archive");
  test::FaultyFileSystem fs;
  fs.failSync = [](const std::wstring& path) { return path.ends_with(L".tmp") ? EIO : 0; };
  EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
  EXPECT_EQ(ReadBytes(archive), "older archive");
  EXPECT_EQ(test::NamesIn(dir_.Native("out")),
            std::vector<std::string>{archive.substr(archive.rfind('/') + 1)});
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].find(L"Input/output error"), std::wstring::npos)
      << platform::ToNative(host_.messages[0]);
}

INSTANTIATE_TEST_SUITE_P(EveryArchive, ArchiveSyncTest,
                         ::testing::Values(kJobTypeZip, kJobTypeSevenZip));

// Given a leftover that cannot be removed, the log does not claim it was.
TEST_F(HostileTreeTest, ALeftoverThatCannotBeRemovedIsNotReportedAsRemoved) {
  job_.Type = kJobTypeZip;
  job_.LogFiles = true;
  WriteBytes(dir_.Native("out/.Daily.zip.kvn-99999-7.tmp"), "left by a killed run");
  test::FaultyFileSystem fs;
  fs.failRemove = [](const std::wstring& path) { return path.ends_with(L"-7.tmp") ? EBUSY : 0; };
  EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
  EXPECT_TRUE(PathExists(dir_.Native("out/.Daily.zip.kvn-99999-7.tmp")));
  for (const std::string& line : LogLines(dir_.Native("out/Daily.log"))) {
    EXPECT_EQ(line.find("Removed"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace kelvane
