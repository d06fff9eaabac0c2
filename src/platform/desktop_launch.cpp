#include "platform/desktop_launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/text_codec.h"

extern char** environ;

namespace kelvane::platform {

DesktopOpen OpenWithDesktopApplication(const std::wstring& path, const std::string& opener,
                                       std::chrono::milliseconds patience) {
  const std::string file = ToNative(path);
  char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(file.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The opener's chatter is not ours to show; the result says what matters.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, opener.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return DesktopOpen::kNoOpener;

  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return DesktopOpen::kOpened;
      return DesktopOpen::kNoApplication;
    }
    if (done < 0 && errno != EINTR) return DesktopOpen::kOpened;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Still running: it runs the program in the foreground. Collect it when it
  // ends, so no zombie stays behind.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return DesktopOpen::kOpened;
}

}  // namespace kelvane::platform
