// The check after the backup, run by the real executable, with a password,
// for every target type; the result is confirmed with the tools a user has.
#include <gtest/gtest.h>

#include <string>

#include "integration/cli_test_support.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

class VerifiedRunTest : public test::JobRunTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  VerifiedRunTest() : JobRunTest(GetParam()) {
    job_.TestFiles = true;
    job_.ArchivePassword = L"geheim";
  }
};

TEST_P(VerifiedRunTest, EveryTargetIsReadBackAndSaysSo) {
  File("a.txt", "alpha");
  File("sub/b.txt", std::string(100000, 'b'));
  File("caf\xE9 \xF0\x9F\x98\x80.txt", "odd name");
  const test::CliResult run = RunJob();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Checked: 3 files read back, 0 failed."), std::string::npos)
      << run.output;
  const std::string log = test::ReadBytes(out_ + "/Daily.log");
  EXPECT_NE(log.find(": 3 files read back, 0 failed."), std::string::npos) << log;
  switch (GetParam()) {
    case kJobTypeZip:
      EXPECT_EQ(Shell("unzip -P geheim -tq '" + out_ + "/Daily.zip'"), 0) << output_;
      break;
    case kJobTypeSevenZip:
      EXPECT_EQ(Shell("7z t -pgeheim '" + out_ + "/Daily.7z' | grep -c 'Everything is Ok'"), 0)
          << output_;
      break;
    default:
      EXPECT_EQ(Shell("diff -r '" + src_ + "' '" + out_ + "/Daily" + src_ + "'"), 0) << output_;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, VerifiedRunTest,
                         ::testing::Values(kJobTypeFolder, kJobTypeZip, kJobTypeSevenZip));

}  // namespace
}  // namespace kelvane
