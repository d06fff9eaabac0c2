// Opening with the desktop's program, with made-up openers.
#include "platform/desktop_launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "support/test_support.h"

namespace kelvane::platform {
namespace {

using std::chrono::milliseconds;

class DesktopLaunchTest : public ::testing::Test {
 protected:
  std::string Opener(const std::string& body) {
    const std::string path = dir_.Native("opener");
    test::WriteBytes(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0700);
    return path;
  }
  test::TempDir dir_;
};

TEST_F(DesktopLaunchTest, TheFileReachesTheOpenerAsOneArgument) {
  const std::string opener = Opener("printf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/got\"");
  const std::wstring file = L"/tmp/a log; rm -rf x\n$(true).log";
  EXPECT_EQ(OpenWithDesktopApplication(file, opener), DesktopOpen::kOpened);
  EXPECT_EQ(test::ReadBytes(dir_.Native("got")), "1|/tmp/a log; rm -rf x\n$(true).log");
}

TEST_F(DesktopLaunchTest, AFailingOpenerMeansNoApplication) {
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", Opener("exit 3")), DesktopOpen::kNoApplication);
}

TEST_F(DesktopLaunchTest, AnOpenerStillRunningHasStartedAProgram) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", Opener("sleep 3"), milliseconds(300)),
            DesktopOpen::kOpened);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(DesktopLaunchTest, NoOpenerAtAll) {
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", dir_.Native("missing")), DesktopOpen::kNoOpener);
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", "kelvane-no-such-opener"),
            DesktopOpen::kNoOpener);
}

}  // namespace
}  // namespace kelvane::platform
