// The program's exit statuses, which schedulers and scripts read.
#pragma once

namespace kelvane {

// Exit statuses of the program.
enum ExitStatus : int {
  kExitDone = 0,            // the run completed without logged errors (or -help)
  kExitDoneWithErrors = 1,  // the run completed, but errors were logged
  kExitAborted = 2,         // cancel, too little room, target not created, writer failure
  kExitJobUnreadable = 3,   // the job could not be read, or the command line was unusable
};

}  // namespace kelvane
