// Jobs that take only what changed, run by the real executable as a
// scheduler would, night after night.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "integration/cli_test_support.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

class IncrementalRunTest : public test::JobRunTest {
 protected:
  IncrementalRunTest() : JobRunTest(kJobTypeFolder) {
    job_.ArchiveBitGet = true;
    job_.ArchiveBitSet = true;
    job_.LogFiles = true;
  }
  ~IncrementalRunTest() override { ::unsetenv("TZ"); }

  int AddLines() {
    std::string log = test::ReadBytes(out_ + "/Daily.log");
    int count = 0;
    for (size_t at = 0; (at = log.find(") File: Add ", at)) != std::string::npos; ++at) ++count;
    return count;
  }
  // The entries of an archive, one a line, sorted.
  std::string Entries(const std::string& archive) {
    EXPECT_EQ(Shell("unzip -Z1 '" + archive + "' | sort"), 0);
    return output_;
  }
};

TEST_F(IncrementalRunTest, AFolderJobSavesAllThenNothingThenExactlyWhatChanged) {
  for (int i = 0; i < 30; ++i)
    File("d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt", "v1");
  test::CliResult run = RunJob();
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(AddLines(), 30);
  EXPECT_NE(run.output.find("Done: 30 of 30 files"), std::string::npos) << run.output;

  run = RunJob();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(AddLines(), 0);
  EXPECT_NE(run.output.find("Done: nothing changed, no file to save into " + out_ + "/Daily/."),
            std::string::npos)
      << run.output;

  File("d1/f5.txt", "v2");
  File("d3/new\nline.txt", "new");
  run = RunJob();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(AddLines(), 2);
  EXPECT_NE(run.output.find("Done: 2 of 2 files"), std::string::npos) << run.output;
  EXPECT_EQ(Shell("diff -r '" + src_ + "' '" + out_ + "/Daily" + src_ + "'"), 0) << output_;
}

// Dated archives: each holds exactly what changed since the one before (the
// time zone moves on an hour a run, so runs a second apart get names of
// their own). Without the date, the archive is replaced and holds all again.
TEST_F(IncrementalRunTest, EachDatedArchiveHoldsWhatChangedSinceTheOneBefore) {
  job_.Type = kJobTypeZip;
  job_.AddDate = true;
  File("a.txt", "a");
  File("sub/b.txt", "b");
  const std::string stored = src_.substr(1);
  ::setenv("TZ", "XYZ-1", 1);
  ASSERT_EQ(RunJob().status, 0);
  ::setenv("TZ", "XYZ-2", 1);
  File("sub/b.txt", "b2");
  File("c.txt", "c");
  ASSERT_EQ(RunJob().status, 0);
  ASSERT_EQ(Shell("ls '" + out_ + "' | grep -c '^Daily_.*\\.zip$'"), 0);
  EXPECT_EQ(output_, "2\n");
  ASSERT_EQ(Shell("ls -t '" + out_ + "'/Daily_*.zip | head -1"), 0);
  const std::string newest = output_.substr(0, output_.size() - 1);
  EXPECT_EQ(Entries(newest), stored + "/c.txt\n" + stored + "/sub/b.txt\n");
  EXPECT_EQ(Shell("unzip -tq '" + newest + "'"), 0) << output_;

  // Without the dated archives, and without the date from now on.
  ASSERT_EQ(Shell("rm '" + out_ + "'/Daily_*.zip"), 0);
  job_.AddDate = false;
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_EQ(AddLines(), 3);
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_EQ(AddLines(), 3);
  EXPECT_EQ(Entries(out_ + "/Daily.zip"),
            stored + "/a.txt\n" + stored + "/c.txt\n" + stored + "/sub/b.txt\n");
}

}  // namespace
}  // namespace kelvane
