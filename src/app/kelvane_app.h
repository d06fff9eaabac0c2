// Start-up of the program: command line, preferences, job file, language, and
// then the one thing asked for (a run, or the job editor).
#pragma once

#include <string>
#include <vector>

namespace kelvane {

// Exit statuses of the program.
enum ExitStatus : int {
  kExitDone = 0,            // the run completed without logged errors (or -help)
  kExitDoneWithErrors = 1,  // the run completed, but errors were logged
  kExitAborted = 2,         // cancel, too little room, target not created, writer failure
  kExitJobUnreadable = 3,   // the job could not be read, or the command line was unusable
};

// Runs the program for the command-line `tokens` (the program first) and
// returns its exit status.
int RunApplication(const std::vector<std::wstring>& tokens);

}  // namespace kelvane
