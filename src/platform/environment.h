// What the program learns from its environment: variables, the desktop, the
// terminal, and an interrupt from the user (Ctrl-C) or the system (SIGTERM).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane::platform {

// The value of an environment variable; empty when it is not set.
std::wstring EnvironmentValue(const char* name);

// The user's home folder: $HOME, else the one the user database names, else
// "/".
std::wstring HomeFolder();

// The names of user `uid` and group `gid` on this system, as bytes; empty
// where the system has none.
std::string UserName(uint32_t uid);
std::string GroupName(uint32_t gid);
// The ids of the user and group named `name` on this system; false where
// there is none.
bool UserIdOf(const std::string& name, uint32_t* uid);
bool GroupIdOf(const std::string& name, uint32_t* gid);

// The folder for per-user settings: $XDG_CONFIG_HOME, else $HOME/.config.
std::wstring ConfigHome();

// The display a window would open on ($WAYLAND_DISPLAY, else $DISPLAY);
// empty without a desktop.
std::wstring DesktopDisplay();

// True when standard error is a terminal (progress may then redraw one line).
bool StandardErrorIsTerminal();

// The machine's memory, in bytes (0 when it cannot be told).
uint64_t PhysicalMemoryBytes();

// Lets the process hold as many open files as the system allows it: a walk
// keeps one folder open for each level it is deep, on every scan worker.
void RaiseOpenFileLimit();

// From now on SIGINT and SIGTERM end the process at once with `status`,
// after writing `line` to stderr: for the time before a run holds anything
// it must clean up (reading a job of a million entries takes seconds, and
// nothing has been written yet).
void EndOnInterrupt(int status, std::string_view line);
// From now on SIGINT and SIGTERM are caught: while EndOnInterrupt holds they
// still end the process, after KeepRunningOnInterrupt they set the interrupt
// flag instead. A second signal of the same kind ends the process as usual,
// so a user can always get out.
void CatchInterrupts();
void KeepRunningOnInterrupt();
bool InterruptRequested();

}  // namespace kelvane::platform
