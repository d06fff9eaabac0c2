#include "platform/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

namespace {

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void BecomeProgram(const char* path, char* const* args, int outWrite, int errWrite,
                                pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);  // the parent is gone already
  const int nothing = ::open("/dev/null", O_RDONLY);
  if (nothing < 0 || ::dup2(nothing, STDIN_FILENO) < 0 || ::dup2(outWrite, STDOUT_FILENO) < 0 ||
      ::dup2(errWrite, STDERR_FILENO) < 0) {
    ::_exit(127);
  }
  ::execv(path, args);
  ::_exit(127);
}

// Reads what is ready on `fd` into `text`; false at its end.
bool Drain(int fd, std::string* text) {
  char buffer[8192];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) text->append(buffer, static_cast<size_t>(got));
  return got > 0 || (got < 0 && (errno == EINTR || errno == EAGAIN));
}

}  // namespace

int RunProgramCapturing(const std::vector<std::string>& argv,
                        const std::function<bool()>& keepGoing, ProgramOutput* output) {
  *output = ProgramOutput();
  if (argv.empty()) return EINVAL;
  // Looked up here, not in the child (which, forked from a process with
  // threads, may not allocate): and "not installed" must be told apart
  // from a program that failed.
  std::string program = argv[0].find('/') != std::string::npos ? argv[0] : "";
  const char* path = std::getenv("PATH");
  for (std::string rest = path ? path : ""; program.empty() && !rest.empty();) {
    const size_t colon = rest.find(':');
    const std::string candidate = rest.substr(0, colon) + "/" + argv[0];
    if (::access(candidate.c_str(), X_OK) == 0) program = candidate;
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
  }
  if (program.empty()) return ENOENT;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return errno;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    const int error = errno;
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return error;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) BecomeProgram(program.c_str(), args.data(), outPipe[1], errPipe[1], parent);
  const int forkError = pid < 0 ? errno : 0;
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (pid < 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return forkError;
  }
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* texts[2] = {&output->out, &output->err};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, 100) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && fds[i].revents != 0 && !Drain(fds[i].fd, texts[i])) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
    if (!output->stopped && keepGoing && !keepGoing()) {
      output->stopped = true;
      ::kill(pid, SIGTERM);
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int how = 0;
  while (::waitpid(pid, &how, 0) < 0) {
    if (errno != EINTR) return errno;
  }
  if (WIFEXITED(how)) output->status = WEXITSTATUS(how);
  return 0;
}

}  // namespace kelvane::platform
