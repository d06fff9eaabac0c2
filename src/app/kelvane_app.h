// Start-up of the program: texts, command line and profile, then the one
// operation the command line chose from the command table (command.h).
#pragma once

#include <string>
#include <vector>

namespace kelvane {

// Runs the program for the command-line `tokens` (the program first) and
// returns its exit status.
int RunApplication(const std::vector<std::wstring>& tokens);

}  // namespace kelvane
