// The tests that open real windows: wx is started once, as the program
// starts it, before any test runs.
#include <gtest/gtest.h>

#include <cstdio>

#include "ui/toolkit/window_session.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const auto session = kelvane::ui::WindowSession::Open();
  if (!session) {
    std::fprintf(stderr,
                 "window tests: the display cannot be opened (run under desktop_session.sh)\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
