#include <string>

#include "app/command.h"
#include "app/commands.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

// In the usage text's order. When several are given, the last of them in
// the table runs: a -dry-run added to -start stays a dry run, one added to
// -prune is that command's own switch, and the commands that change a job's
// files run nothing else.
const Command kCommands[] = {
    {L"start", false, {L"console", L"minimize", L"summary"}, L"console_usage_start", RunCommand},
    {L"dry-run", false, {L"why", L"summary"}, L"console_usage_dry_run", DryRunCommand},
    {L"list", false, {L"json"}, L"console_usage_list", ListCommand},
    {L"restore",
     false,
     {L"to", L"at", L"from", L"only", L"overwrite", L"password-stdin", L"summary"},
     L"console_usage_restore",
     RestoreCommand},
    {L"compare",
     false,
     {L"at", L"from", L"password-stdin"},
     L"console_usage_compare",
     CompareCommand},
    {L"prune", false, {L"dry-run"}, L"console_usage_prune", PruneCommand},
    {L"schedule", true, {}, L"console_usage_schedule", ScheduleCommand},
    {L"set-password", true, {}, L"console_usage_set_password", SetPasswordCommand},
    {L"notify-test", true, {}, L"console_usage_notify_test", NotifyTestCommand},
    {L"", false, {}, L"", EditorCommand},
};

// Read whatever the operation: the job, and the usage text.
const std::wstring_view kProgramSwitches[] = {L"file", L"help", L"h", L"?"};

}  // namespace

const Command& ChosenCommand(const CommandLineArgs& args) {
  const Command* chosen = &kCommands[std::size(kCommands) - 1];
  for (const Command& command : kCommands) {
    if (!command.name.empty() &&
        (command.chosenByPresence ? args.Has(command.name) : args.Flag(command.name))) {
      chosen = &command;
    }
  }
  return *chosen;
}

std::vector<std::wstring_view> KnownSwitches() {
  std::vector<std::wstring_view> known(std::begin(kProgramSwitches), std::end(kProgramSwitches));
  for (const Command& command : kCommands) {
    if (!command.name.empty()) known.push_back(command.name);
    for (const std::wstring_view name : command.switches) {
      if (!name.empty()) known.push_back(name);
    }
  }
  return known;
}

void PrintUsage(std::FILE* out, const LanguageTable& texts) {
  std::wstring usage = texts.GetText(L"console_usage");
  for (const Command& command : kCommands) {
    if (!command.usageKey.empty()) usage += L"\n" + texts.GetText(std::wstring(command.usageKey));
  }
  usage += L"\n" + texts.GetText(L"console_usage_end");
  std::fprintf(out, "%s\n", platform::ToUtf8(usage).c_str());
}

}  // namespace kelvane
