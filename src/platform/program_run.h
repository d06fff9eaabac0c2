// Running another program to its end, without a shell: the arguments go to
// it as they are, whatever they hold.
#pragma once

#include <string>
#include <vector>

namespace kelvane::platform {

// Runs `argv` (argv[0] looked up in PATH) with standard input and output on
// /dev/null and standard error shared, and waits for it. 0 with its exit
// status in `*status` (-1 when a signal ended it), or the error number when
// it could not be started (ENOENT: not installed).
[[nodiscard]] int RunProgram(const std::vector<std::string>& argv, int* status);

}  // namespace kelvane::platform
