// The program's command-line operations, one row each, as ninja keeps its
// tools: the switch that chooses it, the switches it reads, the key of its
// lines in the usage text, and its handler (each in a file of its own). Of
// the rows whose switch is given, the last runs; without any, the last row
// (the editor).
//
// Adding an operation touches the table (command_table.cpp), its handler's
// file, its texts (res/Config.json and the built-in table) and the README.
#pragma once

#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kelvane {

class CommandLineArgs;
class LanguageTable;
class ProfileStore;

// What every handler is given.
struct CommandContext {
  const CommandLineArgs& args;
  const LanguageTable& texts;
  ProfileStore& profile;
};

struct Command {
  // Its switch; empty for the row that runs when no other is chosen.
  std::wstring_view name;
  // Chosen by the switch's presence (it takes a value or none), or only
  // when its flag is on ("1", "true").
  bool chosenByPresence;
  // The other switches it reads.
  std::array<std::wstring_view, 7> switches;
  // Its lines in the usage text; empty for none.
  std::wstring_view usageKey;
  // Returns the program's exit status.
  int (*handler)(const CommandContext& context);
};

// The row chosen by `args`.
const Command& ChosenCommand(const CommandLineArgs& args);

// Every switch some row reads, and those of the program as a whole.
std::vector<std::wstring_view> KnownSwitches();

// The usage text: its head, each row's lines, its end.
void PrintUsage(std::FILE* out, const LanguageTable& texts);

}  // namespace kelvane
