// Folder jobs run by the real executable, checked with diff -r and stat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "integration/cli_test_support.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using platform::FromNative;
using test::PathExists;
using test::WriteBytes;

class FolderRunTest : public test::JobRunTest {
 protected:
  FolderRunTest() : JobRunTest(kJobTypeFolder) {}

  std::string Target() const { return out_ + "/Daily" + src_; }
};

// Given a tree with hidden files, a log, a name without extension, umlauts,
// names of a file and a folder that are not UTF-8, links, an empty folder,
// another user's file and extended attributes and ACLs (the folders come
// from the scan each after its subfolders, so each gets its time last),
// when the default job with links runs and
// checks its copy, then exactly the other files arrive with their bytes,
// modes, owners, attributes and modification times, the links as links, and
// the folders with theirs.
TEST_F(FolderRunTest, CopiesExactlyTheSelectedFiles) {
  File("a.txt", "alpha");
  File("empty.dat", "");
  File("Grüße/Übersicht.md", "umlauts", 0600);
  File("deep/er/still/deeper/x.bin", std::string(300000, '\x07'), 0755);
  File("caf\xE9.txt", "latin-1 name");
  File("d\xFCr/inner.txt", "in a folder of a latin-1 name");
  File(".hidden.txt", "hidden");
  File(".config/settings.ini", "hidden folder, visible file");
  File("run.log", "black-listed");
  File("README", "no extension");
  ASSERT_EQ(::mkfifo((src_ + "/pipe.fifo").c_str(), 0644), 0);
  ASSERT_EQ(Shell("cd src && ln -s a.txt rel.txt && ln -s /etc/hostname abs.txt && "
                  "ln -s deep linked.dir && touch -h -d 2020-01-02 rel.txt && mkdir empty && "
                  "chmod 750 deep/er && touch -d 2021-02-03 empty deep/er"),
            0);
  job_.IncludeLinks = job_.TestFiles = true;
  struct timespec times[2] = {{1500000000, 0}, {1600000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (src_ + "/a.txt").c_str(), times, 0), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown((src_ + "/a.txt").c_str(), 1234, 2345), 0);
  }
  // Extended attributes and ACLs (a default one on a folder), where the
  // tools are installed and the file system holds them.
  const bool attributes =
      Shell(
          "cd src && setfattr -n user.note -v kept a.txt && setfacl -m u:1234:r a.txt && "
          "setfacl -d -m u:1234:rx deep") == 0;

  const test::CliResult result = RunJob();
  EXPECT_EQ(result.status, 0) << result.output;

  // The expected tree: the source without what the filters leave out.
  const std::string expected = dir_.Native("expected");
  ASSERT_EQ(Shell("cp -a '" + src_ + "' '" + expected + "'"), 0);
  ASSERT_EQ(Shell("cd '" + expected + "' && rm .hidden.txt run.log README pipe.fifo && " +
                  "touch -r '" + src_ + "' ."),
            0);
  ExpectSameTree(expected, Target(), true, true);
  if (attributes) {
    auto attributesOf = [this](const std::string& root) {
      Shell("cd '" + root + "' && find . -print0 | sort -z | xargs -0 getfattr -h -d -m - && " +
            "find . ! -type l -print0 | sort -z | xargs -0 getfacl -p");
      return output_;
    };
    EXPECT_EQ(attributesOf(Target()), attributesOf(expected));
  }
  struct stat copied {};
  ASSERT_EQ(::stat((Target() + "/a.txt").c_str(), &copied), 0);
  EXPECT_EQ(copied.st_mtim.tv_nsec, 123456789) << "the time to the nanosecond";
  if (::geteuid() == 0) {
    EXPECT_EQ(copied.st_uid, 1234u) << "the owner, as root";
  }
  EXPECT_EQ(test::LogLines(out_ + "/Daily.log"),
            std::vector<std::string>{"Check of " + out_ + "/Daily/: 10 files read back, 0 failed."})
      << "no other line";
  EXPECT_NE(result.output.find("Done: 10 of 10 files"), std::string::npos) << result.output;
  ASSERT_EQ(Shell("stat -c %Y '" + Target() + "/rel.txt'"), 0);
  EXPECT_EQ(output_, "1577923200\n") << "the link's own time";
}

TEST_F(FolderRunTest, AFileThatCannotBeWrittenIsLoggedAndTheRunEndsWithStatusOne) {
  File("a.txt", "a");
  File("b.txt", "b");
  // A folder where the copy of b.txt has to go: the rename cannot replace it.
  ASSERT_EQ(Shell("mkdir -p '" + Target() + "/b.txt/inside'"), 0);
  const test::CliResult result = RunJob();
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_EQ(test::ReadBytes(Target() + "/a.txt"), "a");
  const std::vector<std::string> lines = test::LogLines(out_ + "/Daily.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex("Backup file " + Target() + "/b.txt failed\\. Code: 21, Is a directory\\.")))
      << lines[0];
  EXPECT_NE(result.output.find(out_ + "/Daily.log"), std::string::npos) << result.output;
  // No temporary file is left behind.
  Shell("find '" + Target() + "' -name '*.tmp'");
  EXPECT_EQ(output_, "");
}

// Given a job whose exclusion list takes a while to read, a SIGTERM before
// the run holds anything ends the program at once with status 2, and nothing
// is written: no lock, no log, no target.
TEST_F(FolderRunTest, ASignalWhileALongJobIsReadEndsAtOnceAndWritesNothing) {
  File("a.txt", "a");
  for (int i = 0; i < 600000; ++i) {
    job_.ExcludeFolders += platform::FromNative(src_) + L"/excluded" + std::to_wstring(i) + L"\r\n";
  }
  const pid_t pid = cli_.Start({cli_.WriteJob(job_), "-start"}, dir_.Native("run-output.txt"));
  // Sent once the program catches the signal (its mask in /proc says so),
  // however slowly it starts.
  ASSERT_TRUE(test::WaitUntil([pid] {
    const std::string status = test::ReadBytes("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("SigCgt:");
    return at != std::string::npos &&
           (std::stoull(status.substr(at + 7), nullptr, 16) & (1ull << (SIGTERM - 1))) != 0;
  })) << "the program never caught SIGTERM";
  ::kill(pid, SIGTERM);
  const std::string output = test::ReadBytes(dir_.Native("run-output.txt"));
  EXPECT_EQ(test::Cli::Wait(pid), 2) << output;
  EXPECT_NE(test::ReadBytes(dir_.Native("run-output.txt")).find("Nothing was changed."),
            std::string::npos)
      << test::ReadBytes(dir_.Native("run-output.txt"));
  EXPECT_TRUE(test::NamesIn(out_).empty());
}

// Given sparse files (a disk image with two written places, one that starts
// with a hole, one that ends with one), the copies keep their holes: they
// take a few blocks, not a gigabyte, and read the same.
TEST_F(FolderRunTest, SparseFilesStaySparse) {
  auto sparse = [this](const std::string& name, std::initializer_list<off_t> places, off_t size) {
    const std::string path = src_ + "/" + name;
    WriteBytes(path, "");
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    for (const off_t place : places) ASSERT_EQ(::pwrite(fd, "data", 4, place), 4);
    ::close(fd);
  };
  sparse("disk.img", {0, 500000000}, 1LL << 30);
  sparse("starts-with-a-hole.img", {(8 << 20) - 4}, 8 << 20);
  sparse("ends-with-a-hole.img", {0}, 8 << 20);
  struct stat status {};
  ASSERT_EQ(::stat((src_ + "/disk.img").c_str(), &status), 0);
  if (status.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "this file system keeps no holes";

  const test::CliResult result = RunJob();
  ASSERT_EQ(result.status, 0) << result.output;
  for (const char* name : {"disk.img", "starts-with-a-hole.img", "ends-with-a-hole.img"}) {
    const std::string copy = Target() + "/" + name;
    ASSERT_EQ(::stat(copy.c_str(), &status), 0) << name;
    EXPECT_LT(status.st_blocks * 512, 1 << 20) << name;
    EXPECT_EQ(Shell("cmp '" + src_ + "/" + name + "' '" + copy + "'"), 0) << name << output_;
  }
}

// Given a job file whose members have other types than theirs, the run reads
// them as it always did (0, empty, false) and says so, member by member, on
// the terminal and in the log.
TEST_F(FolderRunTest, MembersOfTheWrongTypeAreNamed) {
  File("a.txt", "a");
  job_.LogRemoveLog = false;
  std::string text = test::ReadBytes(cli_.WriteJob(job_));
  auto replace = [&text](const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("\"Type\" : 0", "\"Type\" : \"0\"");
  replace("\"LogFolder\" : false", "\"LogFolder\" : 1");
  replace("\"ArchiveCompLevel\" : 9", "\"ArchiveCompLevel\" : null");
  WriteBytes(dir_.Native("typed.kvnjob"), text);
  const test::CliResult result = cli_.Run({dir_.Native("typed.kvnjob"), "-start"});
  EXPECT_EQ(result.status, 0) << result.output;
  const std::string lines[] = {
      "The job member \"Type\" has the wrong type and reads as 0.",
      "The job member \"ArchiveCompLevel\" has the wrong type and reads as 9.",
      "The job member \"LogFolder\" has the wrong type and reads as false."};
  const std::string log = test::ReadBytes(out_ + "/Daily.log");
  for (const std::string& line : lines) {
    EXPECT_NE(result.output.find("kelvane: " + line), std::string::npos) << result.output;
    EXPECT_NE(log.find(line), std::string::npos) << log;
  }
  EXPECT_EQ(test::ReadBytes(Target() + "/a.txt"), "a");
}

TEST_F(FolderRunTest, RunsTheRecentJobAndRemembersItAbsolutely) {
  File("a.txt", "a");
  cli_.WriteJob(job_, "recent.kvnjob");
  EXPECT_EQ(cli_.Run({"recent.kvnjob", "-start"}).status, 0);
  WriteBytes(dir_.Native("config/Dravolo/Kelvane/profile.json"),
             "{\"Main\": {\"LoadRecentFile\": 1, \"RecentFile\": \"" +
                 dir_.Native("recent.kvnjob") + "\"}}");
  ASSERT_EQ(Shell("rm -r '" + out_ + "'"), 0);
  EXPECT_EQ(cli_.Run({"-start"}).status, 0);
  EXPECT_TRUE(PathExists(Target() + "/a.txt"));
}

// A job that cannot be read and a command line that makes no sense end with
// status 3 and say why; asking for help is status 0. Nothing crashes.
TEST_F(FolderRunTest, WhatCannotRunEndsWithStatusThreeAndSaysWhy) {
  WriteBytes(dir_.Native("broken.kvnjob"), "{\"Backup\": [");
  WriteBytes(dir_.Native("nolists.kvnjob"), "{\"Backup\": {}}");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string said;
  } rows[] = {
      {{"broken.kvnjob", "-start"},
       3,
       "The backup file could not be opened! (" + dir_.Native("broken.kvnjob") +
           ": not valid JSON at byte 11)"},
      {{"nolists.kvnjob", "-start"}, 3, "opened! (" + dir_.Native("nolists.kvnjob") + ")"},
      {{"missing.kvnjob", "-start"}, 3, "missing.kvnjob"},
      {{"-frobnicate"}, 3, "Usage: kelvane"},
      {{"\"unbalanced", "-start", "\""}, 3, ""},
      {std::vector<std::string>(150, "-start"), 3, ""},
      {{"-help"}, 0, "Usage: kelvane"},
      {{"-?"}, 0, "Usage: kelvane"},
      // Without -start and without a desktop there is nothing to show.
      {{}, 3, "Usage: kelvane"},
  };
  for (const auto& row : rows) {
    const test::CliResult result = cli_.Run(row.arguments);
    EXPECT_EQ(result.status, row.status) << row.said << result.output;
    EXPECT_NE(result.output.find(row.said), std::string::npos) << result.output;
  }
}

}  // namespace
}  // namespace kelvane
