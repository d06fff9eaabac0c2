// ZIP jobs run by the real executable, checked with unzip and 7z.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "integration/cli_test_support.h"
#include "manifest/manifest_line.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using platform::FromNative;
using test::PathExists;
using test::WriteBytes;

class ZipRunTest : public test::JobRunTest {
 protected:
  ZipRunTest() : JobRunTest(kJobTypeZip) {}

  std::string Archive() const { return out_ + "/Daily.zip"; }

  // The manifest an archive holds is the one beside it, which also says the
  // check passed, and each file's digest in it is what sha256sum says of the
  // source file.
  void ExpectManifest(const std::string& inside, const std::string& beside, bool attributes) {
    const std::string text = test::ReadBytes(inside);
    std::string besideText = test::ReadBytes(beside);
    const std::string verdict = R"(,"check":"passed")";
    ASSERT_NE(besideText.find(verdict), std::string::npos) << besideText;
    EXPECT_EQ(text, besideText.erase(besideText.find(verdict), verdict.size()));
    std::istringstream lines(text);
    size_t files = 0;
    for (std::string line; std::getline(lines, line);) {
      ManifestEntry entry;
      if (!ParseEntryLine(line, &entry) || entry.type != ManifestEntry::Type::kFile) continue;
      ++files;
      Shell("sha256sum < '/" + entry.path + "'");
      EXPECT_EQ(output_.substr(0, 64), platform::HexText(entry.sha256)) << entry.path;
      if (attributes && entry.path.ends_with("/a.txt")) {
        EXPECT_EQ(entry.attributes, (platform::ExtendedAttributes{{"user.origin", "kelvane"}}));
      }
    }
    EXPECT_EQ(files, 10u);
  }
};

// Given a tree with nested folders, empty files, umlauts, non-Latin scripts,
// an emoji, a name that is not UTF-8, a hidden file, links (relative,
// absolute, to a folder), an empty folder and another user's file (for 7z,
// whose names go as UTF-16 units, foreign bytes as its tool writes them,
// folders without a stream), when a checked ZIP or 7z
// job takes all of it, then the tools accept the archive and give back
// exactly the files, links and folders, with their modes, times to the
// second, and (ZIP, as root) owners.
TEST_F(ZipRunTest, ArchivesExtractToExactlyTheSelectedFiles) {
  File("a.txt", "alpha\n");
  File("empty.dat", "");
  File("Grüße/Übersicht.md", "umlauts\n", 0600);
  File("Документы/отчёт.txt", "cyrillic\n");
  File("日本/テスト.txt", "japanese\n", 0755);
  File("emoji \U0001F600.txt", "beyond the first 65,536 characters\n");
  File("caf\xE9.txt", "latin-1 name\n");
  File(".hidden.txt", "taken on request\n");
  File("deep/a/b/c/d/e.bin", std::string(100000, '\x01'));
  File("skip.log", "black-listed\n");
  File("README", "no extension\n");
  ASSERT_EQ(Shell("cd src && ln -s a.txt rel.lnk && ln -s /etc/hostname abs.lnk && "
                  "ln -s deep linked.dir && mkdir empty && chmod 750 Grüße && "
                  "touch -d 2021-02-03 empty Grüße && chmod 640 a.txt && "
                  "touch -d '2022-03-04 05:06:07.123' a.txt"),
            0);
  // Where the file system holds user attributes, the manifest keeps them.
  const bool attributes = Shell("setfattr -n user.origin -v kelvane src/a.txt") == 0;
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((src_ + "/a.txt").c_str(), 1234, 2345), 0);
  }
  job_.IncludeHiddenFiles = job_.IncludeLinks = job_.TestFiles = true;
  job_.SkipFilesWithoutExtension = false;
  ASSERT_EQ(Shell("cp -a '" + src_ + "' expected && rm expected/skip.log && touch -r src expected"),
            0)
      << output_;
  const struct {
    uint32_t type;
    std::string archive, test, into, extract;
    bool owners, linkTimes;
  } rows[] = {
      // unzip sets no link's time.
      {kJobTypeZip, "Daily.zip", "unzip -t {} && 7z t {}", "zip", "unzip -qX {}", root, false},
      {kJobTypeZip, "Daily.zip", "true", "tar", "bsdtar -xpf {}", root, true},
      // 7z stores no owners, and 7z x puts an absolute link's target below
      // the folder it extracts into; the archive holds it as it was.
      {kJobTypeSevenZip, "Daily.7z",
       "7z t {} && test \"$(7z e -so {} '" + src_.substr(1) + "/abs.lnk')\" = /etc/hostname", "7z",
       "7z x -bd {} && test -L ." + src_ + "/abs.lnk && ln -sfn /etc/hostname ." + src_ +
           "/abs.lnk && touch -r ../expected ." + src_,
       false, false},
  };
  for (const auto& row : rows) {
    job_.Type = row.type;
    const test::CliResult result = RunJob();
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string archive = "'" + out_ + "/" + row.archive + "'";
    auto fill = [&](std::string command) {
      for (size_t at; (at = command.find("{}")) != std::string::npos;)
        command.replace(at, 2, archive);
      return command;
    };
    EXPECT_EQ(Shell(fill(row.test)), 0) << output_;
    EXPECT_EQ(output_.find("Warning"), std::string::npos) << output_;
    ASSERT_EQ(Shell("mkdir " + row.into + " && cd " + row.into + " && " + fill(row.extract)), 0)
        << output_;
    ExpectSameTree(dir_.Native("expected"), dir_.Native(row.into) + src_, row.owners,
                   row.linkTimes);
    ExpectManifest(dir_.Native(row.into) + "/.kelvane/manifest.jsonl",
                   out_ + "/" + row.archive + ".kvnman", attributes);
    EXPECT_EQ(test::LogLines(out_ + "/Daily.log"),
              std::vector<std::string>{"Check of " + out_ + "/" + row.archive +
                                       ": 13 files read back, 0 failed."});
    EXPECT_FALSE(test::HoldsTemporary(out_, "." + row.archive));
  }
}

// Given a run of the job under way, another one ends at once with status 2
// and leaves the archive, the log and the last run's record as they were.
TEST_F(ZipRunTest, ARunWhileTheJobRunsChangesNothing) {
  File("a.txt", "a");
  WriteBytes(Archive(), "the running job's archive");
  WriteBytes(out_ + "/Daily.log", "the running job's log");
  WriteBytes(out_ + "/Daily.kvnlast.json", "the last run's record");
  platform::Folder out;
  ASSERT_EQ(platform::Fs().OpenFolder(FromNative(out_), &out).code(), 0);
  platform::FileLock running;
  ASSERT_EQ(running.TryLock(out, L".Daily.kvn-lock"), 0);
  const test::CliResult result = RunJob();
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.output.find("kelvane: This job is already running (another run holds " + out_ +
                               "/.Daily.kvn-lock). Nothing was changed."),
            std::string::npos)
      << result.output;
  EXPECT_EQ(test::ReadBytes(Archive()), "the running job's archive");
  EXPECT_EQ(test::ReadBytes(out_ + "/Daily.log"), "the running job's log");
  EXPECT_EQ(test::ReadBytes(out_ + "/Daily.kvnlast.json"), "the last run's record");
}

// Given an archive name longer than the file system allows, the run says
// that the name is too long, not that the disk has 0 bytes free, and ends
// with status 2 without writing anything.
TEST_F(ZipRunTest, AnArchiveNameTooLongIsSaidAsSuch) {
  File("a.txt", "a");
  job_.ArchiveName = std::wstring(300, L'n');
  const test::CliResult result = RunJob();
  EXPECT_EQ(result.status, 2) << result.output;
  EXPECT_NE(result.output.find("File name too long"), std::string::npos) << result.output;
  EXPECT_EQ(result.output.find("not enough space"), std::string::npos) << result.output;
  EXPECT_TRUE(test::NamesIn(out_).empty()) << result.output;
}

// Given a file deeper than the system's 4096-byte path limit, its entry goes
// in with its whole name, and the archive stays valid; a folder copy holds it.
TEST_F(ZipRunTest, EntriesBeyondThePathLimitGoIn) {
  File("top.txt", "top");
  DeepFile();
  const test::CliResult result = RunJob();
  ASSERT_EQ(result.status, 0) << result.output;
  // unzip itself cuts names at 4095 bytes; 7z reads them whole.
  EXPECT_EQ(Shell("7z t '" + Archive() + "'"), 0) << output_;
  // The files' paths, not the archive's own nor the folders'.
  ASSERT_EQ(Shell("7z l -slt '" + Archive() +
                  "' | sed -n 's/^Path = //p' | grep '[.]txt$' | "
                  "awk '{ print length($0) }' | sort -n"),
            0);
  const std::string stored = src_.substr(1);
  EXPECT_EQ(output_, std::to_string(stored.size() + 8) + "\n" +
                         std::to_string(stored.size() + test::kDeepLevels * 201 + 9) + "\n");
  // A folder copy makes the whole depth as well.
  job_.Type = kJobTypeFolder;
  ASSERT_EQ(RunJob().status, 0);
  ASSERT_EQ(Shell("find out/Daily -name deep.txt -execdir cat {} +"), 0) << output_;
  EXPECT_EQ(output_, "deep");
}

// More than 65,535 entries need the Zip64 end record.
TEST_F(ZipRunTest, SLOW_SeventyThousandFiles) {
  for (int folder = 0; folder < 70; ++folder) {
    const std::string path = src_ + "/d" + std::to_string(folder);
    std::filesystem::create_directories(path);
    for (int i = 0; i < 1000; ++i) {
      std::ofstream(path + "/f" + std::to_string(i) + ".txt") << i;
    }
  }
  job_.ArchiveCompLevel = 1;
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_EQ(Shell("unzip -tq '" + Archive() + "'"), 0) << output_;
  EXPECT_EQ(Shell("7z t '" + Archive() + "' | grep -E '^(Files|Everything)'"), 0) << output_;
  EXPECT_NE(output_.find("Everything is Ok"), std::string::npos) << output_;
  EXPECT_NE(output_.find("Files: 70001"), std::string::npos) << output_;  // and the manifest
}

// A checked backup of large data: an archive past 4 GiB, its entries starting
// beyond 4 GiB, and a file of 4.4 GB (hard links to one random file and a
// sparse file keep the sources cheap on disk) pass their own check, and
// unzip's and 7z's; the large file comes out whole, and its permission bits
// survive (its record says "made by Unix", as every record does).
TEST_F(ZipRunTest, SLOW_ACheckedArchivePastFourGiBPassesItsCheck) {
  ASSERT_EQ(Shell("mkdir -p src && head -c 67108864 /dev/urandom > src/r0.bin && "
                  "for i in $(seq 1 69); do "
                  "ln src/r0.bin src/r$i.bin; done && truncate -s 4400000000 src/big.img && "
                  "echo tail >> src/big.img && chmod 640 src/big.img"),
            0)
      << output_;
  File("small.txt", "small", 0750);
  job_.ArchiveCompLevel = 1;
  job_.TestFiles = true;
  const test::CliResult run = RunJob();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Checked: 72 files read back, 0 failed."), std::string::npos)
      << run.output;
  EXPECT_EQ(Shell("unzip -tq '" + Archive() + "' && 7z t '" + Archive() + "'"), 0) << output_;
  EXPECT_EQ(output_.find("Warning"), std::string::npos) << output_;
  ASSERT_EQ(Shell("zipinfo '" + Archive() + "'"), 0) << output_;
  EXPECT_NE(output_.find("-rw-r-----  4.5 unx 4400000005"), std::string::npos) << output_;
  EXPECT_NE(output_.find("-rwxr-x---  4.5 unx        5"), std::string::npos) << output_;
  ASSERT_EQ(Shell("unzip -p '" + Archive() + "' '" + src_.substr(1) + "/big.img' | tail -c 5"), 0);
  EXPECT_EQ(output_, "tail\n");
}

}  // namespace
}  // namespace kelvane
