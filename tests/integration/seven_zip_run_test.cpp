// 7z jobs run by the real executable, checked with the 7z tool.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "integration/cli_test_support.h"
#include "platform/random_bytes.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::PathExists;
using test::WriteBytes;

class SevenZipRunTest : public test::JobRunTest {
 protected:
  SevenZipRunTest() : JobRunTest(kJobTypeSevenZip) {}
  std::string Archive() const { return out_ + "/Daily.7z"; }
  void UseLibrary(const std::string& path) {
    WriteBytes(dir_.Native("config/Dravolo/Kelvane/profile.json"),
               "{\"Main\": {\"SevenZip\": \"" + path + "\"}}");
  }
};

// Given programs with set-user-ID and set-group-ID bits, the archive keeps
// their permission bits but never those: extracting a backup must not make
// programs that run with someone else's rights.
TEST_F(SevenZipRunTest, SpecialBitsAreNeverStored) {
  File("tool.sh", "#!/bin/sh\n", 06755);
  File("dir.txt", "sticky", 01644);
  ASSERT_EQ(RunJob().status, 0);
  ASSERT_EQ(Shell("7z l -slt '" + Archive() + "' | grep '^Attributes = A -' | sort"), 0);
  EXPECT_EQ(output_, "Attributes = A -rw-r--r--\nAttributes = A -rwxr-xr-x\n");
}

// The run loads the library the profile names; one that cannot be used ends
// the run with its reason (the reasons: SevenZipWriterTest).
TEST_F(SevenZipRunTest, TheRunUsesTheChosenLibraryAndEndsWithItsReason) {
  File("a.txt", "a");
  UseLibrary(dir_.Native("no/such/7z.so"));
  const test::CliResult result = RunJob();
  EXPECT_EQ(result.status, 2) << result.output;
  EXPECT_NE(result.output.find("Caught exception: LoadLibrary: GetLastError = " +
                               dir_.Native("no/such/7z.so")),
            std::string::npos)
      << result.output;
}

// Given a pack that would take many seconds, when the user presses Ctrl-C,
// then the run ends with status 2, leaving no archive
// and no log, and an older archive of the same name as it was.
TEST_F(SevenZipRunTest, InterruptStopsPackingPromptly) {
  std::string noise(8 << 20, '\0');
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(platform::RandomBytes(noise.data(), noise.size()), 0);
    WriteBytes(src_ + "/noise" + std::to_string(i) + ".bin", noise);
  }
  WriteBytes(out_ + "/Daily.7z", "older archive");
  job_.ArchiveCompLevel = 9;
  job_.SkipFilesWithoutExtension = false;
  const pid_t pid = cli_.Start({cli_.WriteJob(job_), "-start"}, dir_.Native("run-output.txt"));
  // Interrupted once the archive has taken its first megabyte, long before
  // the pack could end: an older archive still in place proves it stopped.
  test::WaitUntil([this] { return test::TemporaryBytes(out_, ".Daily.7z") >= (1 << 20); });
  ::kill(pid, SIGINT);
  EXPECT_EQ(test::Cli::Wait(pid), 2) << test::ReadBytes(dir_.Native("run-output.txt"));
  EXPECT_EQ(test::ReadBytes(out_ + "/Daily.7z"), "older archive");
  EXPECT_FALSE(test::HoldsTemporary(out_, ".Daily.7z"));
  EXPECT_FALSE(PathExists(out_ + "/Daily.log"));
}

}  // namespace
}  // namespace kelvane
