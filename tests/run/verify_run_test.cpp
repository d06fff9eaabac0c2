// Reading the target back after the backup: a good target passes, and one
// damaged between writing and reading back (played through the file-system
// seam) is caught. A damaged archive is never put in place of an older one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "platform/file_system.h"
#include "run/run_driver_fixture.h"
#include "run/run_outcome.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

using test::LogLines;
using test::PathExists;
using test::ReadBytes;
using test::WriteBytes;

class VerifyRunTest : public test::RunDriverTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    RunDriverTest::SetUp();
    job_.Type = GetParam();
    job_.TestFiles = true;
    // Incompressible, so its bytes stand in the archive as they are.
    std::mt19937 random(7);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteBytes(src_ + "/noise.bin", noise);
  }
  std::string Target() const {
    return dir_.Native(job_.Type == kJobTypeFolder ? "out/Daily"
                       : job_.Type == kJobTypeZip  ? "out/Daily.zip"
                                                   : "out/Daily.7z");
  }
  // Flips one byte in the middle of `path`, whose size stays.
  static void Damage(const std::wstring& path) {
    const int fd = ::open(platform::ToNative(path).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    const off_t middle = ::lseek(fd, 0, SEEK_END) / 2;
    char byte = 0;
    ASSERT_EQ(::pread(fd, &byte, 1, middle), 1);
    byte = static_cast<char>(~byte);
    ASSERT_EQ(::pwrite(fd, &byte, 1, middle), 1);
    ::close(fd);
  }
};

// A good target passes its check, with a password too; so does an empty one
// (a quiet night of a checked incremental job, an empty source).
TEST_P(VerifyRunTest, AGoodTargetPassesWithAPasswordAndSoDoesAnEmptyOne) {
  job_.ArchivePassword = L"geheim";
  const RunReport report = Run();
  EXPECT_EQ(report.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(report.verification, Verification::kPassed);
  EXPECT_EQ(report.verifiedFiles, 3u);
  const std::string shown = job_.Type == kJobTypeFolder ? Target() + "/" : Target();
  EXPECT_TRUE(LogHas("Check of " + shown + ": 3 files read back, 0 failed."));
  const std::vector<std::wstring> lines = OutcomeLines(report, texts_);
  const std::wstring checked = PrintFEx(texts_.GetText(L"console_verified"), {L"3", L"0"});
  EXPECT_NE(std::find(lines.begin(), lines.end(), checked), lines.end());
  job_.WhiteList = L"*.none";
  job_.AddDate = true;  // a new archive: an emptied source may not replace one
  const RunReport empty = Run();
  EXPECT_EQ(empty.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(empty.verification, Verification::kPassed);
  EXPECT_EQ(empty.verifiedFiles, 0u);
}

TEST_P(VerifyRunTest, ATargetDamagedBeforeItIsReadBackIsCaught) {
  WriteBytes(dir_.Native("out/Daily.zip"), "older zip");
  WriteBytes(dir_.Native("out/Daily.7z"), "older 7z");
  job_.ArchiveBitSet = true;
  test::FaultyFileSystem fs;
  const bool folder = job_.Type == kJobTypeFolder;
  // The archive's work file, once written, or the copy of noise.bin.
  // Once: the check may open the archive more than once.
  bool damaged = false;
  (folder ? fs.failReadBack : fs.failOpenFile) = [folder, &damaged](const std::wstring& path) {
    const bool work = path.find(L".kvn-") != std::wstring::npos && path.ends_with(L".tmp");
    if (!damaged && (folder ? path.ends_with(L"/noise.bin") : work)) {
      Damage(path);
      damaged = true;
    }
    return 0;
  };
  const RunReport report = Run();
  EXPECT_EQ(report.verification, Verification::kFailed);
  EXPECT_GE(report.verifyFailures, 1u);
  EXPECT_TRUE(LogHas("Check of ")) << "the log keeps the evidence";
  if (folder) {
    EXPECT_EQ(report.outcome, RunOutcome::kCompletedWithErrors);
    EXPECT_TRUE(LogHas("noise.bin failed: the copy differs from what was read."));
    // The damaged file is not recorded as saved.
    EXPECT_EQ(ReadBytes(dir_.Native("out/Daily.kvncat")).find("noise.bin"), std::string::npos);
  } else {
    EXPECT_EQ(report.outcome, RunOutcome::kAborted);
    EXPECT_EQ(report.savedFiles, 0u) << "the archive that failed its check saved nothing";
    EXPECT_TRUE(ReadBytes(dir_.Native("out/Daily.zip")) == "older zip");
    EXPECT_TRUE(ReadBytes(dir_.Native("out/Daily.7z")) == "older 7z");
    EXPECT_EQ(host_.messages, std::vector<std::wstring>{PrintFEx(
                                  texts_.GetText(L"verify_failed"),
                                  {platform::FromNative(Target()), dir_.Wide("out/Daily.log")})});
    EXPECT_FALSE(test::HoldsTemporary(dir_.Native("out"), ".Daily"));
    EXPECT_FALSE(PathExists(dir_.Native("out/Daily.kvncat"))) << "nothing recorded";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, VerifyRunTest,
                         ::testing::Values(kJobTypeFolder, kJobTypeZip, kJobTypeSevenZip));

}  // namespace
}  // namespace kelvane
