// Opening with the desktop's program, with made-up openers.
#include "platform/desktop_launch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "support/test_support.h"

namespace kelvane::platform {
namespace {

using std::chrono::milliseconds;

class DesktopLaunchTest : public ::testing::Test {
 protected:
  std::string Opener(const std::string& body) {
    const std::string path = dir_.Native("opener");
    test::WriteBytes(path, "#!/bin/bash\n" + body + "\n");
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

// An opener that fails, or none at all, opens nothing.
TEST_F(DesktopLaunchTest, WithoutAWorkingOpenerNothingIsOpened) {
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", Opener("exit 3")), DesktopOpen::kNoApplication);
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", dir_.Native("missing")), DesktopOpen::kNoOpener);
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", "kelvane-no-such-opener"),
            DesktopOpen::kNoOpener);
}

// An opener that is still running when the patience ends has started the
// program in the foreground: opened, without waiting for it to end.
TEST_F(DesktopLaunchTest, AnOpenerStillRunningHasStartedAProgram) {
  const std::string gate = dir_.Native("gate");
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  // It runs until the test lets it end, and fails if it waits too long.
  const std::string opener = Opener("exec 3<>'" + gate + "'; read -t 20 line <&3 || exit 1");
  EXPECT_EQ(OpenWithDesktopApplication(L"/x.log", opener, milliseconds(300)), DesktopOpen::kOpened);
  const int fd = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << "the opener had ended";
  EXPECT_EQ(::write(fd, "go\n", 3), 3);
  ::close(fd);
}

}  // namespace
}  // namespace kelvane::platform
