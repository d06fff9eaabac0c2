// Whole runs through the driver, with a recording host and, where the OS would
// have to misbehave, the file-system seam.
#include "run/run_driver.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/run_driver_fixture.h"
#include "run/run_outcome.h"
#include "run/run_summary.h"
#include "support/fake_run_host.h"
#include "support/test_support.h"
#include "util/error_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

using platform::FromNative;
using test::FilesBelow;
using test::PathExists;
using test::ReadBytes;
using test::RunDriverTest;
using test::WriteBytes;

TEST_F(RunDriverTest, UncreatableTargetFolderAbortsAndSaysWhy) {
  test::FaultyFileSystem fs;
  fs.failMakeFolder = [](const std::wstring& path) {
    return path.ends_with(L"/src/sub") ? ENOTDIR : 0;
  };
  const RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kAborted);
  EXPECT_EQ(report.result, static_cast<uint32_t>(ENOTDIR));
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0], L"Create Folder " + dir_.Wide("out/Daily") + FromNative(src_) +
                                   L"/sub/ failed. Code: 20, Not a directory.")
      << platform::ToNative(host_.messages[0]);
  EXPECT_FALSE(PathExists(dir_.Native("out/Daily.log")));
}

TEST_F(RunDriverTest, UnknownTargetTypeIsRefused) {
  job_.Type = 7;
  EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_FALSE(PathExists(dir_.Native("out")));
}

// Given a target folder inside the source, when the job runs twice (with a
// date suffix too), then no run copies an earlier backup or log.
TEST_F(RunDriverTest, TheRunsOwnOutputsAreNeverItsInputs) {
  job_.ArchiveFolder = FromNative(src_);
  job_.LogFiles = true;  // keeps a log beside the target
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);
  ASSERT_TRUE(PathExists(src_ + "/Daily.log"));
  job_.AddDate = true;
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);
  job_.AddDate = false;
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);
  for (const std::string& file : FilesBelow(src_)) {
    // A copied file lives at <src>/Daily*/<src>/...; it must not hold "Daily" below that.
    const size_t inner = file.find(src_);
    if (inner != std::string::npos) {
      EXPECT_EQ(file.find("Daily", inner), std::string::npos) << file;
    }
  }
  EXPECT_TRUE(PathExists(src_ + "/Daily" + src_ + "/a.txt"));
}

class ArchiveDriverTest : public RunDriverTest {
 protected:
  void SetUp() override {
    RunDriverTest::SetUp();
    job_.Type = kJobTypeZip;
    WriteBytes(dir_.Native("out/Daily.zip"), "older archive");
  }

  // A target that writes "new archive" into its work file, then does `then`.
  class StandIn : public BackupTarget {
   public:
    explicit StandIn(std::function<uint32_t(vxstl::BackupClass&)> then) : then_(std::move(then)) {}
    uint32_t Write(vxstl::BackupClass& run) override {
      std::unique_ptr<platform::FileStream> work;
      EXPECT_EQ(run.CreateWorkFile(&work), 0);
      seenWorkPath = run.archiveFolder->path() + run.workName;
      EXPECT_EQ(work->Write("new archive", 11), 0);
      return then_(run);
    }
    TargetCheck Verify(vxstl::BackupClass&) override { return {}; }

   private:
    std::function<uint32_t(vxstl::BackupClass&)> then_;
  };

  void Stand_in(std::function<uint32_t(vxstl::BackupClass&)> then) {
    driver_.SetTarget(kJobTypeZip, std::make_unique<StandIn>(std::move(then)));
  }

  static inline std::wstring seenWorkPath;
};

TEST_F(ArchiveDriverTest, SuccessReplacesTheOlderArchive) {
  Stand_in([](vxstl::BackupClass&) { return 0u; });
  EXPECT_EQ(Run().outcome, RunOutcome::kCompleted);
  EXPECT_EQ(ReadBytes(dir_.Native("out/Daily.zip")), "new archive");
  EXPECT_TRUE(seenWorkPath.starts_with(dir_.Wide("out/.Daily.zip.kvn-")));
  EXPECT_TRUE(platform::IsTemporaryName(seenWorkPath, dir_.Wide("out/.Daily.zip")));
  EXPECT_FALSE(PathExists(platform::ToNative(seenWorkPath)));
}

TEST_F(ArchiveDriverTest, AFailureOrAThrowKeepsTheOlderArchiveAndRemovesTheTemporaryFile) {
  Stand_in([](vxstl::BackupClass&) { return 110u; });
  EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
  EXPECT_EQ(ReadBytes(dir_.Native("out/Daily.zip")), "older archive");
  EXPECT_FALSE(PathExists(platform::ToNative(seenWorkPath)));
  EXPECT_FALSE(PathExists(dir_.Native("out/Daily.log")));
  EXPECT_TRUE(host_.warnings.empty());
  // A writer that throws likewise, and what it threw is shown.
  Stand_in([](vxstl::BackupClass&) -> uint32_t { throw std::runtime_error("writer broke"); });
  EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
  EXPECT_EQ(host_.messages.back(), L"Abgefangene Exception: writer broke");
  EXPECT_EQ(ReadBytes(dir_.Native("out/Daily.zip")), "older archive");
  EXPECT_FALSE(PathExists(platform::ToNative(seenWorkPath)));
  // A temporary archive that cannot be removed is said, not kept in silence.
  test::FaultyFileSystem fs;
  fs.failRemove = [](const std::wstring& path) { return path.ends_with(L".tmp") ? EACCES : 0; };
  EXPECT_EQ(Run().outcome, RunOutcome::kAborted);
  ASSERT_EQ(host_.warnings.size(), 1u);
  EXPECT_EQ(host_.warnings[0],
            L"Remove " + seenWorkPath + L" failed. Code: 13, Permission denied.");
}

// ZIP runs through the driver with the real ZIP target.
class ZipDriverTest : public RunDriverTest {
 protected:
  void SetUp() override {
    RunDriverTest::SetUp();
    job_.Type = kJobTypeZip;
  }
  std::string Archive() const { return dir_.Native("out/Daily.zip"); }
};

// A new folder copy is built in a staging folder of its own: cancelled, it
// leaves nothing, and a half-made copy never stands as a backup. A cancelled
// update of an existing copy keeps what it copied, and says so.
TEST_F(RunDriverTest, ACancelledNewFolderCopyLeavesNothingAndAnUpdateKeepsWhatItCopied) {
  for (int i = 0; i < 40; ++i) WriteBytes(src_ + "/many/f" + std::to_string(i) + ".txt", "x");
  test::FaultyFileSystem fs;
  std::atomic<int> copied{0};
  fs.failCopy = [&copied](const std::wstring& path) {
    if (path.ends_with(L".txt") && ++copied >= 3) {
      test::WaitUntil([] { return vxstl::runCancelled.load(); });
    }
    return 0;
  };
  host_.cancelWhen = [&copied] { return copied >= 3; };
  RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kAborted);
  EXPECT_EQ(OutcomeLines(report, texts_),
            std::vector<std::wstring>{texts_.GetText(L"console_aborted_new_folder")});
  EXPECT_EQ(test::NamesIn(dir_.Native("out")), std::vector<std::string>{});
  EXPECT_EQ(report.savedFiles, 0u);

  host_.cancelled = false;
  copied = -1000;
  ASSERT_EQ(Run().outcome, RunOutcome::kCompleted);
  copied = 0;
  report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kAborted);
  EXPECT_EQ(OutcomeLines(report, texts_),
            std::vector<std::wstring>{texts_.GetText(L"console_aborted_folder")});
  EXPECT_EQ(FilesBelow(Copied() + "/many").size(), 40u);
  EXPECT_GE(report.savedFiles, 3u) << "an updated copy keeps what it copied";
  EXPECT_FALSE(PathExists(dir_.Native("out/Daily/.kelvane/update-in-progress")));
}

// Writing a new copy out to a slow disk takes a while: the window keeps
// answering meanwhile, and a cancel then leaves no copy.
TEST_F(RunDriverTest, ACancelWhileTheCopyIsWrittenToDiskLeavesNothing) {
  test::FaultyFileSystem fs;
  std::atomic<bool> syncing{false};
  fs.failSync = [&syncing](const std::wstring& path) {
    if (path.ends_with(L"/out/")) {
      syncing = true;
      test::WaitUntil([] { return vxstl::runCancelled.load(); });
    }
    return 0;
  };
  host_.cancelWhen = [&syncing] { return syncing.load(); };
  const RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kAborted);
  EXPECT_EQ(test::NamesIn(dir_.Native("out")), std::vector<std::string>{});
}

// The files of a folder are copied on every core, yet the failures are logged
// in the order the folder lists its files, and every other file is copied.
TEST_F(RunDriverTest, FailuresOfAFolderCopiedOnEveryCoreAreLoggedInTheFoldersOrder) {
  for (int i = 0; i < 60; ++i) WriteBytes(src_ + "/many/f" + std::to_string(i) + ".txt", "x");
  test::FaultyFileSystem fs;
  fs.failCopy = [](const std::wstring& path) {
    const size_t number = path.find(L"/many/f");
    return number != std::wstring::npos && std::stoi(path.substr(number + 7)) % 7 == 3 ? EIO : 0;
  };
  EXPECT_EQ(Run().outcome, RunOutcome::kCompletedWithErrors);
  std::vector<std::string> expected;
  for (const auto& entry : std::filesystem::directory_iterator(src_ + "/many")) {
    const std::string name = entry.path().filename().string();
    if (std::stoi(name.substr(1)) % 7 == 3) {
      expected.push_back("Backup file " + Copied() + "/many/" + name + " failed. " +
                         platform::ToNative(ErrorText(EIO)).substr(1));
    }
  }
  std::vector<std::string> logged;
  for (const std::string& line : test::LogLines(dir_.Native("out/Daily.log"))) {
    if (line.starts_with("Backup file ")) logged.push_back(line);
  }
  EXPECT_EQ(logged, expected);
  EXPECT_EQ(FilesBelow(Copied() + "/many").size(), 60u - expected.size());
}

// A file rewritten while it is read is read once more, as it is then: its
// entry holds one whole version, never the start of one and the rest of the
// other. A small one (read ahead of its turn) grows as it is read: the bytes
// its status promised are there, but they are not the file any more.
TEST_F(ZipDriverTest, AFileChangedWhileItIsReadIsReadOnceMore) {
  const struct {
    std::string name;
    size_t size, rewriteAt;
    std::string then;
  } files[] = {{"a.txt", 3 << 20, 1 << 20, std::string(3 << 20, 'b')},
               {"s.txt", 100, 0, std::string(100, 'a') + std::string(50, 'b')}};
  std::set<std::string> rewritten;
  std::mutex rewriting;  // files are read on more than one thread
  for (const auto& file : files) WriteBytes(src_ + "/" + file.name, std::string(file.size, 'a'));
  test::FaultyFileSystem fs;
  fs.failRead = [&](const std::wstring& read, uint64_t done) {
    const std::lock_guard<std::mutex> hold(rewriting);
    for (const auto& file : files) {
      const std::string path = src_ + "/" + file.name;
      if (read == platform::FromNative(path) && done >= file.rewriteAt &&
          rewritten.insert(file.name).second) {
        WriteBytes(path, file.then);  // in place: the same file
      }
    }
    return 0;
  };
  const RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(rewritten.size(), 2u);
  const std::string manifest = ReadBytes(Archive() + ".kvnman");
  for (const auto& file : files) {
    const std::string path = src_ + "/" + file.name;
    std::string entry;
    ASSERT_EQ(test::RunShell("unzip -p '" + Archive() + "' '" + path.substr(1) + "'", &entry), 0);
    EXPECT_TRUE(entry == file.then)
        << file.name << ": a torn entry of " << entry.size() << " bytes";
    // The manifest describes the version read, not the one first opened.
    struct stat now;
    ASSERT_EQ(::stat(path.c_str(), &now), 0);
    const size_t line = manifest.rfind('\n', manifest.find(file.name + "\""));
    EXPECT_NE(manifest.substr(line, manifest.find('\n', line + 1) - line)
                  .find("\"mtime_ns\":" + std::to_string(now.st_mtim.tv_nsec) + ","),
              std::string::npos)
        << manifest;
  }
}

// Files are opened ahead of their turn, but never so many at once that a run
// under a low limit of open files (a service's, say) fails them.
TEST_F(ZipDriverTest, FilesOpenedAheadStayWellWithinTheLimitOfOpenFiles) {
  for (int i = 0; i < 200; ++i)
    WriteBytes(src_ + "/big" + std::to_string(i) + ".txt", std::string(70000, 'x'));
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit before = limit;
  limit.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
  const RunReport report = Run();
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
  EXPECT_EQ(report.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(report.errorCount, 0u);
}

// The end line says only what applies: a run refused before it wrote
// anything changed nothing, a folder copy it updated keeps what it copied, a
// new folder copy and an archive are dropped; a run with no file to save says
// that nothing changed.
TEST(RunOutcomeTest, TheEndLineSaysOnlyWhatApplies) {
  const LanguageTable texts;
  struct Row {
    RunOutcome outcome;
    bool begun, partKept;
    std::wstring target;
    uint32_t files;
    std::wstring line;
  } rows[] = {
      {RunOutcome::kAborted, false, false, L"/b/Daily.zip", 0,
       texts.GetText(L"console_aborted_before")},
      {RunOutcome::kAborted, true, true, L"/b/Daily/", 3, texts.GetText(L"console_aborted_folder")},
      {RunOutcome::kAborted, true, false, L"/b/Daily/", 3,
       texts.GetText(L"console_aborted_new_folder")},
      {RunOutcome::kAborted, true, false, L"/b/Daily.zip", 3, texts.GetText(L"console_aborted")},
      {RunOutcome::kCompleted, true, false, L"/b/D_1.zip", 0,
       PrintFEx(texts.GetText(L"console_done_nothing"), {L"/b/D_1.zip"})},
      {RunOutcome::kCompleted, true, false, L"/b/Daily/", 0,
       PrintFEx(texts.GetText(L"console_done_nothing_folder"), {L"/b/Daily/"})},
  };
  for (const Row& row : rows) {
    RunReport report;
    report.outcome = row.outcome;
    report.partKept = row.partKept;
    report.targetBegun = row.begun;
    report.archivePath = row.target;
    report.totalFiles = report.savedFiles = row.files;
    EXPECT_EQ(OutcomeLines(report, texts), std::vector<std::wstring>{row.line})
        << platform::ToUtf8(row.target);
  }
}

// An include folder that is there but empty (a disk that is not mounted)
// never turns the archive a full run replaces into an empty one: the run ends
// with status 2 and says why. A first run, or a dated one, has nothing to
// lose and makes its empty archive, and so has a run that would replace one.
TEST_F(RunDriverTest, AnEmptiedSourceKeepsTheArchiveItWouldEmpty) {
  for (const uint32_t type : {kJobTypeZip, kJobTypeSevenZip}) {
    job_.Type = type;
    job_.AddDate = false;
    const std::string name = type == kJobTypeZip ? "Daily.zip" : "Daily.7z";
    const std::string archive = dir_.Native("out/" + name);
    WriteBytes(src_ + "/a.txt", "alpha");
    ASSERT_EQ(Run().outcome, RunOutcome::kCompleted) << name;
    const std::string older = ReadBytes(archive);
    std::filesystem::remove_all(src_);
    std::filesystem::create_directories(src_);
    host_.messages.clear();
    EXPECT_EQ(Run().outcome, RunOutcome::kAborted) << name;
    EXPECT_EQ(ReadBytes(archive), older) << name;
    EXPECT_EQ(host_.messages,
              std::vector<std::wstring>{PrintFEx(texts_.GetText(L"no_files_archive_kept"),
                                                 {platform::FromNative(archive)})})
        << name;
    std::filesystem::remove(archive);
    EXPECT_EQ(Run().outcome, RunOutcome::kCompleted) << name << ": nothing to lose";
    // That archive holds only its manifest: nothing to keep either.
    EXPECT_EQ(Run().outcome, RunOutcome::kCompleted) << name << ": replaces an empty one";
    job_.AddDate = true;
    EXPECT_EQ(Run().outcome, RunOutcome::kCompleted) << name << ": dated";
    std::filesystem::remove_all(dir_.Native("out"));
  }
}

// A disk that fills while the archive is written aborts the run, says so in
// words (never as a number of the 7-Zip library's), and leaves the older
// archive as the only file.
TEST_F(RunDriverTest, AFullDiskAbortsSaysSoAndKeepsTheOlderArchive) {
  std::string noise(2 << 20, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  WriteBytes(src_ + "/big.bin", noise);
  test::FaultyFileSystem fs;
  fs.failWrite = [](const std::wstring& path, uint64_t written) {
    return path.ends_with(L".tmp") && written > 1000 ? ENOSPC : 0;
  };
  for (const auto& [type, name] :
       {std::pair{kJobTypeZip, "Daily.zip"}, {kJobTypeSevenZip, "Daily.7z"}}) {
    job_.Type = type;
    const std::string archive = dir_.Native("out/") + name;
    WriteBytes(archive, "older archive");
    host_.messages.clear();
    const RunReport report = Run();
    EXPECT_EQ(report.outcome, RunOutcome::kAborted) << name;
    ASSERT_FALSE(host_.messages.empty());
    EXPECT_NE(host_.messages.back().find(L"No space left on device"), std::wstring::npos)
        << platform::ToUtf8(host_.messages.back());
    EXPECT_EQ(host_.messages.back().find(L"HRESULT"), std::wstring::npos);
    EXPECT_EQ(ReadBytes(archive), "older archive");
    EXPECT_EQ(FilesBelow(dir_.Native("out")), std::vector<std::string>{std::string("/") + name});
    std::filesystem::remove(archive);
  }
}

}  // namespace
}  // namespace kelvane
