// Running another program to its end, without a shell: the arguments go to
// it as they are, whatever they hold.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kelvane::platform {

// Runs `argv` (argv[0] looked up in PATH) with standard input and output on
// /dev/null and standard error shared, and waits for it. 0 with its exit
// status in `*status` (-1 when a signal ended it), or the error number when
// it could not be started (ENOENT: not installed).
[[nodiscard]] int RunProgram(const std::vector<std::string>& argv, int* status);

}  // namespace kelvane::platform

namespace kelvane::platform {

// What a program run to its end by RunProgramCapturing said and how it ended.
struct ProgramOutput {
  int status = -1;  // its exit status; -1 when a signal ended it
  std::string out;
  std::string err;
  bool stopped = false;  // ended by us because `keepGoing` said no
};

// Runs `argv` as RunProgram does, with standard output and error read into
// `*output`. `keepGoing` is called about ten times a second while it runs;
// when it returns false the program is ended (SIGTERM) and `stopped` set.
// The program also gets SIGTERM when this process dies, so a killed run
// leaves no helper writing behind it. 0, or the error number when it could
// not be started (ENOENT: not installed).
[[nodiscard]] int RunProgramCapturing(const std::vector<std::string>& argv,
                                      const std::function<bool()>& keepGoing,
                                      ProgramOutput* output);

}  // namespace kelvane::platform
