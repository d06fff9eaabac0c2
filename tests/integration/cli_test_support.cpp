#include "integration/cli_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "json/json_document.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

extern char** environ;

namespace kelvane::test {
namespace {

std::vector<std::string> Environment(const std::string& work) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        entry.rfind("XDG_CONFIG_HOME=", 0) == 0) {
      continue;
    }
    env.push_back(entry);
  }
  env.push_back("XDG_CONFIG_HOME=" + work + "/config");
  return env;
}

// libfaketime, preloaded directly: the faketime wrapper names a semaphore
// after its process id and refuses to start when one of a killed wrapper
// with the same id is left over, which a long test run meets.
std::string FakeTimeLibrary() {
  static const std::string library = [] {
    std::string path;
    RunShell("ls /usr/lib/*/faketime/libfaketime.so.1 | head -n 1 | tr -d '\\n'", &path);
    return path;
  }();
  return library;
}

}  // namespace

pid_t Cli::Start(const std::vector<std::string>& args, const std::string& outputFile,
                 const std::string& fakeTime) const {
  std::vector<std::string> argv = {KELVANE_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argvPointers;
  for (auto& a : argv) argvPointers.push_back(a.data());
  argvPointers.push_back(nullptr);
  std::vector<std::string> env = Environment(work_);
  if (!fakeTime.empty()) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::erase_if(env, [](const std::string& entry) { return entry.starts_with("ASAN_OPTIONS="); });
    env.insert(env.end(),
               {"LD_PRELOAD=" + FakeTimeLibrary(), "FAKETIME=@" + fakeTime, "NO_FAKE_STAT=1",
                std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"});
  }
  std::vector<char*> envPointers;
  for (auto& e : env) envPointers.push_back(e.data());
  envPointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, work_.c_str());
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                                envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start kelvane");
  return pid;
}

int Cli::Wait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliResult Cli::Run(const std::vector<std::string>& args) const {
  const std::string outputFile = work_ + "/kelvane-output.txt";
  CliResult result;
  result.status = Wait(Start(args, outputFile));
  result.output = ReadBytes(outputFile);
  return result;
}

std::string Cli::WriteJob(const BackupJob& job, const std::string& name) const {
  JsonDocument doc;
  if (!WriteJobToDocument(job, doc)) throw std::runtime_error("cannot make the job");
  const std::string path = work_ + "/" + name;
  if (!doc.SaveFile(platform::FromNative(path)).ok()) throw std::runtime_error("cannot save job");
  return path;
}

JobRunTest::JobRunTest(uint32_t type) : src_(dir_.Native("src")), out_(dir_.Native("out")) {
  job_.Type = type;
  job_.ArchiveFolder = platform::FromNative(out_);
  job_.ArchiveName = L"Daily";
  job_.IncludeFolders = {platform::FromNative(src_)};
}

void JobRunTest::File(const std::string& relative, const std::string& content, unsigned mode) {
  WriteBytes(src_ + "/" + relative, content);
  ASSERT_EQ(::chmod((src_ + "/" + relative).c_str(), mode), 0);
}

namespace {

const std::string kDeepName(200, 'd');

}  // namespace

void JobRunTest::DeepFile() {
  int fd = ::open(src_.c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < kDeepLevels && fd >= 0; ++level) {
    ASSERT_EQ(::mkdirat(fd, kDeepName.c_str(), 0755), 0);
    const int next = ::openat(fd, kDeepName.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
  ::close(fd);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::write(file, "deep", 4), 4);
  ::close(file);
}

int JobRunTest::Shell(const std::string& command) {
  output_.clear();
  return RunShell("cd '" + dir_.path() + "' && " + command + " 2>&1", &output_);
}

// libfaketime is preloaded before the sanitizer's runtime, which is told
// that this is fine.
int JobRunTest::KelvaneAt(const std::string& time, const std::string& args) {
  return Shell(
      "env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS XDG_CONFIG_HOME=$PWD/config "
      "LD_PRELOAD='" +
      FakeTimeLibrary() + "' FAKETIME='@" + time +
      "' NO_FAKE_STAT=1 "
      "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 " KELVANE_EXECUTABLE
      " " +
      args);
}

void JobRunTest::ExpectSameTree(const std::string& expected, const std::string& actual, bool owners,
                                bool linkTimes) {
  EXPECT_EQ(Shell("diff -r --no-dereference '" + expected + "' '" + actual + "'"), 0) << output_;
  // Type, permission bits, owner and group, modification time to the second
  // and link target of every entry.
  const std::string owner = owners ? "%U %G " : "";
  const std::string time = "%TY-%Tm-%Td_%TH:%TM:%.2TS ";
  auto listing = [&](const std::string& root) {
    Shell("cd '" + root + "' && { find . ! -type l -printf '%y %m " + owner + time +
          "%l %P\\n'; find . -type l -printf '%y %m " + owner + (linkTimes ? time : "") +
          "%l %P\\n'; } | sort");
    return output_;
  };
  EXPECT_EQ(listing(actual), listing(expected));
}

}  // namespace kelvane::test
