// Whole scans over real trees in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "log/run_log.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"
#include "scan/scan_context.h"
#include "scan/scan_sources.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using platform::FromNative;
using platform::ToNative;

class FolderWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = dir_.Native("src"); }

  void File(const std::string& relative, const std::string& content = "x") {
    test::WriteBytes(root_ + "/" + relative, content);
  }
  void Folder(const std::string& relative) {
    ASSERT_EQ(::mkdir((root_ + "/" + relative).c_str(), 0755), 0);
  }
  void Link(const std::string& target, const std::string& relative) {
    ASSERT_EQ(::symlink(target.c_str(), (root_ + "/" + relative).c_str()), 0);
  }

  // Runs a whole scan of the given include folders (relative to the tree,
  // "" for the tree itself) and keeps the log lines with the tree's path
  // replaced by "<src>".
  void Scan(std::vector<std::string> includes) {
    for (const std::string& include : includes) {
      scan_.includeFolders.push_back(FromNative(include.empty() ? root_ : root_ + "/" + include));
    }
    ASSERT_EQ(runLog_.OpenLog(dir_.Wide("run.log")), 0u);
    ScanSources(scan_, [] {});
    runLog_.CloseLog();
    for (std::string line : test::LogLines(dir_.Native("run.log"))) {
      for (size_t at; (at = line.find(root_)) != std::string::npos;)
        line.replace(at, root_.size(), "<src>");
      log_.push_back(line);
    }
  }

  // Every selected file as "<folder relative to the tree>|<name>", in result order.
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const ScannedFolder& folder : scan_.results) {
      std::string path = ToNative(folder.path);
      path.replace(0, root_.size(), "");
      for (const ScannedFile& file : folder.files) {
        out.push_back(path + "|" + std::string(folder.NativeName(file)));
      }
    }
    return out;
  }

  // Every folder of the result relative to the tree, sorted.
  std::vector<std::string> SavedFolders() const {
    std::vector<std::string> out;
    for (const ScannedFolder& folder : scan_.results)
      out.push_back(ToNative(folder.path).substr(root_.size()));
    std::sort(out.begin(), out.end());
    return out;
  }

  std::vector<std::string> SortedFiles() const {
    auto files = Files();
    std::sort(files.begin(), files.end());
    return files;
  }

  bool Logged(const std::string& line) const {
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

  test::TempDir dir_;
  std::string root_;
  RunLog runLog_;
  ScanContext scan_{runLog_};
  std::vector<std::string> log_;
};

// Given a tree with every kind of entry, when scanned with the default job
// options and all log options, then exactly the selectable files and the
// folders that hold them are taken and every decision has its line.
TEST_F(FolderWalkTest, AppliesEveryFilterAndLogsEveryDecision) {
  File("a.txt");
  File("b.log");
  File("README");
  File(".hidden.txt");
  File("archive.tar.gz");
  File("sub/c.txt");
  File("sub/deep/d.TXT");
  File("onlysub/inner/e.txt");
  File("logs/x.log");
  Folder("empty");
  Link("sub", "link-dir");
  Link("a.txt", "link-file");
  Link(root_, "loop");
  ASSERT_EQ(::mkfifo((root_ + "/pipe.fifo").c_str(), 0644), 0);

  scan_.options |= kScanSkipFilesWithoutExtension | kScanLogFolder | kScanLogFiles;
  ScanContext::SetFileFilter(scan_.whiteListSpec, L"*.*");
  ScanContext::SetFileFilter(scan_.blackListSpec, L"*.log;*.tmp");
  Scan({""});

  EXPECT_EQ(SortedFiles(),
            (std::vector<std::string>{"/onlysub/inner/|e.txt", "/sub/deep/|d.TXT", "/sub/|c.txt",
                                      "/|a.txt", "/|archive.tar.gz"}));
  const char* expected[] = {
      "(01) Folder: Search in: <src>/.",
      "(01) Folder: Search in: <src>/sub/.",
      "(01) File: Add <src>/a.txt.",
      "(01) File: Add <src>/archive.tar.gz.",
      "(01) File: Skip <src>/b.log, in Blacklist.",
      "(01) File: Skip <src>/README, no Extension.",
      "(01) File: Skip <src>/.hidden.txt, FILE_ATTRIBUTE_HIDDEN.",
      "(01) File: Skip <src>/pipe.fifo, not a regular file.",
      "(01) Folder: Skip <src>/link-dir, IO_REPARSE_TAG_SYMLINK.",
      "(01) Folder: Skip <src>/loop, IO_REPARSE_TAG_SYMLINK.",
      "(01) File: Skip <src>/link-file, IO_REPARSE_TAG_SYMLINK.",
      "(01) Folder: Skip <src>/logs/, no Files.",
      "(01) File: Add <src>/onlysub/inner/e.txt.",
  };
  for (const char* line : expected) EXPECT_TRUE(Logged(line)) << line;
  EXPECT_EQ(log_.size(), 21u);
  // A folder that holds a saved entry, or nothing at all, is saved itself;
  // one whose content was all left out is not.
  EXPECT_EQ(SavedFolders(), (std::vector<std::string>{"/", "/empty/", "/onlysub/",
                                                      "/onlysub/inner/", "/sub/", "/sub/deep/"}));
}

// The same include folder twice, and include folders inside others, are
// walked once.
TEST_F(FolderWalkTest, NestedIncludeFoldersAreWalkedOnce) {
  File("a.txt");
  File("sub/b.txt");
  File("sub/deeper/c.txt");
  scan_.options |= kScanLogFolder;
  Scan({"", "", "sub", "sub/deeper/"});
  EXPECT_EQ(SortedFiles(),
            (std::vector<std::string>{"/sub/deeper/|c.txt", "/sub/|b.txt", "/|a.txt"}));
  const auto skips = std::count_if(log_.begin(), log_.end(), [](const std::string& line) {
    return line.find("already processed by another task.") != std::string::npos;
  });
  EXPECT_EQ(skips, 3);
  EXPECT_TRUE(Logged("(01) Folder Skip <src>/ already processed by another task."));
}

// An include folder that is excluded, and an empty include entry, walk
// nothing and fail nothing.
TEST_F(FolderWalkTest, AnExcludedOrEmptyIncludeFolderIsNotWalked) {
  File("a.txt");
  scan_.AddExcludeFolder(FromNative(root_));
  scan_.includeFolders.push_back(L"");
  Scan({""});
  EXPECT_TRUE(scan_.results.empty());
  EXPECT_EQ(scan_.unreadableEntries.load(), 0u);
}

TEST_F(FolderWalkTest, WaitingScanKeepsPumping) {
  File("a.txt");
  test::FakeClock clock;
  std::atomic<int> pumps{0};
  test::FaultyFileSystem fs;
  fs.failReadDirectory = [&pumps](const std::wstring&) {
    test::WaitUntil([&pumps] { return pumps >= 3; });  // a listing that takes a while
    return 0;
  };
  scan_.includeFolders.push_back(FromNative(root_));
  ScanSources(scan_, [&pumps] { ++pumps; });
  EXPECT_GE(pumps, 3);
  EXPECT_EQ(scan_.CountFiles(), 1u);
}

// Two lower-case folder names whose paths below `parent` collide under the
// 32-bit path hash: a birthday search, some 80,000 names on average. The hash
// of the parent is carried on over the name's UTF-16LE bytes, so each try
// costs a few multiplications; the caller checks the pair with PathHash.
std::pair<std::string, std::string> CollidingNames(const std::string& parent) {
  const uint32_t start = PathHash(FromNative(parent));
  std::unordered_map<uint32_t, std::string> seen;
  seen.reserve(1 << 18);
  // Names from a xorshift generator: counted names collide far more rarely.
  uint64_t state = 88172645463325252ull;
  for (;;) {
    std::string name;
    for (int k = 0; k < 8; ++k) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      name.push_back(static_cast<char>('a' + state % 26));
    }
    uint32_t hash = start;
    for (const char c : name + "/") {
      hash = (hash ^ static_cast<uint8_t>(c)) * 0x01000193;
      hash = (hash ^ 0) * 0x01000193;
    }
    const auto [it, added] = seen.emplace(hash, name);
    if (!added) {
      EXPECT_EQ(PathHash(FromNative(parent + it->second + "/")),
                PathHash(FromNative(parent + name + "/")));
      return {it->second, name};
    }
  }
}

// Given two folders whose paths have the same 32-bit hash, both are saved: a
// hash may pick a bucket, never decide that two folders are one.
TEST_F(FolderWalkTest, FoldersWithCollidingPathHashesAreBothWalked) {
  const auto [first, second] = CollidingNames(root_ + "/");
  File(first + "/a.txt");
  File(second + "/b.txt");
  Scan({""});
  EXPECT_EQ(SortedFiles(),
            (std::vector<std::string>{
                "/" + std::min(first, second) + "/|" + (first < second ? "a.txt" : "b.txt"),
                "/" + std::max(first, second) + "/|" + (first < second ? "b.txt" : "a.txt")}));
}

TEST_F(FolderWalkTest, ExcludingAFolderKeepsOneWhosePathHashCollides) {
  std::string lowered = root_;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto [first, second] = CollidingNames(lowered + "/");
  File(first + "/a.txt");
  File(second + "/b.txt");
  scan_.AddExcludeFolder(FromNative(root_ + "/" + first));
  Scan({""});
  EXPECT_EQ(SortedFiles(), std::vector<std::string>{"/" + second + "/|b.txt"});
}

// Given a folder that cannot be listed, a missing include folder and one
// entry whose status cannot be read (another user's FUSE mount, an I/O
// error), only those are lost, and each is logged and counted.
TEST_F(FolderWalkTest, WhatCannotBeReadIsLoggedAndCountedAndTheRestIsWalked) {
  File("ok/a.txt");
  File("locked/b.txt");
  File("fuse.txt");
  test::FaultyFileSystem fs;
  fs.failReadDirectory = [](const std::wstring& path) {
    return path.ends_with(L"/locked/") ? EACCES : 0;
  };
  fs.failEntry = [](const std::wstring& path) { return path.ends_with(L"/fuse.txt") ? EACCES : 0; };
  Scan({"", "missing"});
  EXPECT_EQ(SortedFiles(), std::vector<std::string>{"/ok/|a.txt"});
  EXPECT_EQ(scan_.unreadableEntries.load(), 3u);
  EXPECT_TRUE(Logged("(01) Folder: Cannot read <src>/locked/. Code: 13, Permission denied."));
  EXPECT_TRUE(
      Logged("(01) Folder: Cannot read <src>/missing/. Code: 2, No such file or directory."));
  EXPECT_TRUE(Logged("(01) Cannot read <src>/fuse.txt. Code: 13, Permission denied."));
  EXPECT_EQ(log_.size(), 3u);
}

// Given a subfolder that is swapped, after its parent was listed, for a link to
// someone else's tree or for another folder, the walk enters neither.
TEST_F(FolderWalkTest, AFolderSwappedDuringTheScanIsNotEntered) {
  File("sub/mine.txt");
  File("other/mine.txt");
  test::WriteBytes(dir_.Native("secret/shadow.txt"), "not yours");
  test::WriteBytes(dir_.Native("elsewhere/moved.txt"), "not in the sources");
  test::FaultyFileSystem fs;
  fs.failOpenFolder = [this](const std::wstring& path) {
    if (path == FromNative(root_ + "/sub")) {
      EXPECT_EQ(::rename((root_ + "/sub").c_str(), dir_.Native("sub-away").c_str()), 0);
      EXPECT_EQ(::symlink(dir_.Native("secret").c_str(), (root_ + "/sub").c_str()), 0);
    } else if (path == FromNative(root_ + "/other")) {
      EXPECT_EQ(::rename((root_ + "/other").c_str(), dir_.Native("other-away").c_str()), 0);
      EXPECT_EQ(::rename(dir_.Native("elsewhere").c_str(), (root_ + "/other").c_str()), 0);
    }
    return 0;
  };
  Scan({""});
  EXPECT_TRUE(scan_.results.empty()) << SortedFiles().front();
  EXPECT_EQ(scan_.unreadableEntries.load(), 2u);
  EXPECT_TRUE(Logged("(01) Folder: Cannot read <src>/sub/. Changed since the scan."));
  EXPECT_TRUE(Logged("(01) Folder: Cannot read <src>/other/. Changed since the scan."));
}

// Given include folders that are missing or reached through a link another
// user could change, each is recorded, so the run can refuse to pass for a
// backup of them.
TEST_F(FolderWalkTest, IncludeFoldersThatCannotBeOpenedAreRecorded) {
  File("a.txt");
  ASSERT_EQ(::mkdir(dir_.Native("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir_.Native("shared").c_str(), 0777), 0);
  ASSERT_EQ(::symlink(root_.c_str(), dir_.Native("shared/link").c_str()), 0);
  scan_.includeFolders = {FromNative(root_ + "/"), FromNative(root_ + "/missing/"),
                          dir_.Wide("shared/link/")};
  Scan({});
  EXPECT_EQ(SortedFiles(), std::vector<std::string>{"/|a.txt"});
  std::vector<std::string> failures;
  for (const IncludeFailure& failure : scan_.includeFailures) {
    failures.push_back(ToNative(failure.path) + " " + std::to_string(failure.error));
  }
  std::sort(failures.begin(), failures.end());
  EXPECT_EQ(failures, (std::vector<std::string>{dir_.Native("shared/link/") + " " +
                                                    std::to_string(platform::kErrorLinkNotFollowed),
                                                root_ + "/missing/ 2"}));
}

}  // namespace
}  // namespace kelvane
