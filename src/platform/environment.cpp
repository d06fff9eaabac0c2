#include "platform/environment.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text_codec.h"

namespace kelvane::platform {
namespace {

volatile sig_atomic_t interrupted = 0;
volatile sig_atomic_t endAtOnce = 0;
int endStatus = 2;
char endLine[512];
size_t endLineSize = 0;

void OnInterrupt(int) {
  if (endAtOnce) {
    // Only what is safe in a signal handler: one write, then the end.
    ssize_t written = ::write(STDERR_FILENO, endLine, endLineSize);
    (void)written;
    ::_exit(endStatus);
  }
  interrupted = 1;
}

void InstallHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)
                                   : 0;
}

std::wstring EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? FromNative(value) : std::wstring();
}

std::wstring HomeFolder() {
  const std::wstring home = EnvironmentValue("HOME");
  if (!home.empty() && home.front() == L'/') return home;
  if (const struct passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir) {
    return FromNative(user->pw_dir);
  }
  return L"/";
}

std::wstring ConfigHome() {
  std::wstring home = EnvironmentValue("XDG_CONFIG_HOME");
  if (!home.empty() && home.front() == L'/') return home;
  home = EnvironmentValue("HOME");
  return (home.empty() ? L"." : home) + L"/.config";
}

std::wstring DesktopDisplay() {
  const std::wstring wayland = EnvironmentValue("WAYLAND_DISPLAY");
  return wayland.empty() ? EnvironmentValue("DISPLAY") : wayland;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void RaiseOpenFileLimit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

void EndOnInterrupt(int status, std::string_view line) {
  endStatus = status;
  endLineSize = std::min(line.size(), sizeof endLine);
  std::memcpy(endLine, line.data(), endLineSize);
  endAtOnce = 1;
  InstallHandler();
}

void CatchInterrupts() { InstallHandler(); }

void KeepRunningOnInterrupt() { endAtOnce = 0; }

bool InterruptRequested() { return interrupted != 0; }

std::string UserName(uint32_t uid) {
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->pw_name;
}

std::string GroupName(uint32_t gid) {
  std::vector<char> buffer(65536);  // a group lists its members
  struct group entry;
  struct group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

bool UserIdOf(const std::string& name, uint32_t* uid) {
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return false;
  }
  *uid = found->pw_uid;
  return true;
}

bool GroupIdOf(const std::string& name, uint32_t* gid) {
  std::vector<char> buffer(65536);
  struct group entry;
  struct group* found = nullptr;
  if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return false;
  }
  *gid = found->gr_gid;
  return true;
}

}  // namespace kelvane::platform
