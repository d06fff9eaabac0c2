// Running the real kelvane executable from tests, as a user or a scheduler
// would: no display, a private profile folder, output captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "job/backup_job.h"
#include "support/test_support.h"

namespace kelvane::test {

struct CliResult {
  int status = -1;      // exit status, -1 when it did not exit normally
  std::string output;   // stdout and stderr together
};

class Cli {
 public:
  explicit Cli(std::string workFolder) : work_(std::move(workFolder)) {}

  // Runs kelvane with `args` in the work folder and waits for it.
  CliResult Run(const std::vector<std::string>& args) const;

  // Starts kelvane in the background; output goes to `outputFile`.
  pid_t Start(const std::vector<std::string>& args, const std::string& outputFile) const;
  static int Wait(pid_t pid);

  // Writes `job` as a job file in the work folder and returns its path.
  std::string WriteJob(const BackupJob& job, const std::string& name = "job.kvnjob") const;

  const std::string& work() const { return work_; }

 private:
  std::string work_;
};

// A chain of `levels` folders named `name` below the open folder `fd`, made
// relative to each other (the whole path may be too long for the system),
// with the file deep.txt ("deep") at the bottom; its content read back
// ("(missing)" when the chain is not there); and the chain removed.
void MakeDeepChain(int fd, const std::string& name, int levels);
std::string ReadDeepChain(int fd, const std::string& name, int levels);
void RemoveDeepChain(int fd, const std::string& name);

// A job over the tree "src" of a temporary folder into "out", named "Daily",
// run through the real executable.
class JobRunTest : public ::testing::Test {
 protected:
  explicit JobRunTest(uint32_t type);

  // Writes a source file (folders made as needed) with the given mode.
  void File(const std::string& relative, const std::string& content, unsigned mode = 0644);
  CliResult RunJob() { return cli_.Run({cli_.WriteJob(job_), "-start"}); }
  // Runs a shell command in the temporary folder; its output goes to output_.
  int Shell(const std::string& command);
  // `actual` holds the same files as `expected` (diff -r), with the same
  // permission bits and modification times within `mtimeSlack` seconds.
  void ExpectSameTree(const std::string& expected, const std::string& actual, int mtimeSlack);

  TempDir dir_;
  std::string src_;
  std::string out_;
  BackupJob job_;
  Cli cli_{dir_.path()};
  std::string output_;
};

}  // namespace kelvane::test
