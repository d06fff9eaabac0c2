#include "platform/program_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace kelvane::platform {

int RunProgram(const std::vector<std::string>& argv, int* status) {
  *status = -1;
  if (argv.empty()) return EINVAL;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return spawned;
  int how = 0;
  while (::waitpid(pid, &how, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  if (WIFEXITED(how)) *status = WEXITSTATUS(how);
  return 0;
}

}  // namespace kelvane::platform
