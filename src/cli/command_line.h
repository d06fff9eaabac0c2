// The command line: an optional job file, then switches.
//
//   kelvane [JOB] [-file JOB] [-start [VALUE]] [-minimize [VALUE]] [-console] [-help]
//
// A switch starts with "-" (or "/" followed by a known switch name, so that an
// absolute path is never mistaken for a switch) and is compared without regard
// to case. A switch followed by a token that is not a switch takes it as its
// value; alone it has the value "1". A flag is on only for the values "1" and
// "true" (exactly). At most 100 tokens are read, the program's own included.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvane {

class CommandLineArgs {
 public:
  // `known`: the switch names the program reads (lower case).
  explicit CommandLineArgs(std::vector<std::wstring_view> known) : known_(std::move(known)) {}

  // `tokens` as the shell split them; the first is the program and is skipped.
  void Parse(const std::vector<std::wstring>& tokens);

  bool Has(std::wstring_view name) const;
  std::wstring Value(std::wstring_view name) const;
  bool Flag(std::wstring_view name) const;
  // Every value of a switch given more than once, in the order given.
  std::vector<std::wstring> Values(std::wstring_view name) const;

  // Switch names given that the program does not know.
  std::vector<std::wstring> UnknownSwitches() const;

 private:
  bool IsKnown(std::wstring_view name) const;
  bool IsSwitch(const std::wstring& token) const;

  std::vector<std::wstring_view> known_;
  std::map<std::wstring, std::wstring> values_;  // the last value of each
  std::multimap<std::wstring, std::wstring> every_;
};

}  // namespace kelvane
