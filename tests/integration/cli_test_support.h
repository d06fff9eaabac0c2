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
  int status = -1;     // exit status, -1 when it did not exit normally
  std::string output;  // stdout and stderr together
};

class Cli {
 public:
  explicit Cli(std::string workFolder) : work_(std::move(workFolder)) {}

  // Runs kelvane with `args` in the work folder and waits for it.
  CliResult Run(const std::vector<std::string>& args) const;

  // Starts kelvane in the background; output goes to `outputFile`. With
  // `fakeTime` ("2026-12-08 03:00:00") its clock starts then (libfaketime,
  // preloaded, so the process is kelvane itself and a signal reaches it).
  pid_t Start(const std::vector<std::string>& args, const std::string& outputFile,
              const std::string& fakeTime = "") const;
  static int Wait(pid_t pid);

  // Writes `job` as a job file in the work folder and returns its path.
  std::string WriteJob(const BackupJob& job, const std::string& name = "job.kvnjob") const;

 private:
  std::string work_;
};

// How many folders of 200-byte names DeepFile() nests: far beyond the
// system's 4096-byte path limit.
inline constexpr int kDeepLevels = 24;

// A job over the tree "src" of a temporary folder into "out", named "Daily",
// run through the real executable.
class JobRunTest : public ::testing::Test {
 protected:
  explicit JobRunTest(uint32_t type);

  // Writes a source file (folders made as needed) with the given mode.
  void File(const std::string& relative, const std::string& content, unsigned mode = 0644);
  CliResult RunJob() { return cli_.Run({cli_.WriteJob(job_), "-start"}); }
  // Writes deep.txt ("deep") below kDeepLevels folders in the source, made
  // relative to each other (the whole path is too long for the system).
  void DeepFile();
  // Runs a shell command in the temporary folder; its output goes to output_.
  int Shell(const std::string& command);
  // The program as a scheduler starts it, its clock at local `time`
  // ("2026-12-07 03:00:00", by faketime, which moves no file's times).
  int KelvaneAt(const std::string& time, const std::string& args);
  // `actual` holds the same entries as `expected`: contents (diff -r, links
  // not followed), types, permission bits, link targets, modification times
  // to the second (of links too, with `linkTimes`), and with `owners` the
  // owner and group.
  void ExpectSameTree(const std::string& expected, const std::string& actual, bool owners,
                      bool linkTimes);

  TempDir dir_;
  std::string src_;
  std::string out_;
  BackupJob job_;
  Cli cli_{dir_.path()};
  std::string output_;
};

}  // namespace kelvane::test
