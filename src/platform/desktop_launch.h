// Opening a file with the program the desktop chooses for it (xdg-open).
//
// The opener is started without a shell, the path as its one argument. Some
// openers return at once, some only when the program they started ends, so
// the answer waits a short while: an opener that failed by then could not
// open the file; one still running has started a program.
#pragma once

#include <chrono>
#include <string>

namespace kelvane::platform {

enum class DesktopOpen {
  kOpened,         // the opener succeeded, or is still running a program
  kNoApplication,  // the opener ran and failed (no program for the file)
  kNoOpener,       // no opener could be started
};

DesktopOpen OpenWithDesktopApplication(
    const std::wstring& path, const std::string& opener = "xdg-open",
    std::chrono::milliseconds patience = std::chrono::milliseconds(2000));

}  // namespace kelvane::platform
