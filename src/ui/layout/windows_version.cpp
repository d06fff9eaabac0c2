#include "ui/layout/windows_version.h"

namespace kelvane::ui {

int GetWindowsVersionCode() { return 100; }
int GetWindowsVersionNumber() { return 1000; }

}  // namespace kelvane::ui
