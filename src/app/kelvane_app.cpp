#include "app/kelvane_app.h"

#include "app/command.h"
#include "app/command_support.h"
#include "app/exit_status.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "util/template_format.h"

namespace kelvane {

int RunApplication(const std::vector<std::wstring>& tokens) {
  LanguageTable texts;
  texts.LoadLanguage([](const std::wstring& message) { PrintError(message); });
  // Until a run holds its job's lock there is nothing to undo: a signal ends
  // the program at once, even while a job of a million entries is read.
  platform::EndOnInterrupt(kExitAborted,
                           platform::ToNative(texts.GetText(L"console_interrupted_early")) + "\n");
  CommandLineArgs args(KnownSwitches());
  args.Parse(tokens);
  if (args.Has(L"help") || args.Has(L"h") || args.Has(L"?")) {
    PrintUsage(stdout, texts);
    return kExitDone;
  }
  if (const auto unknown = args.UnknownSwitches(); !unknown.empty()) {
    PrintError(PrintFEx(texts.GetText(L"console_unknown_switch"), {unknown.front()}));
    PrintUsage(stderr, texts);
    return kExitJobUnreadable;
  }
  ProfileStore profile;
  const CommandContext context{args, texts, profile};
  return ChosenCommand(args).handler(context);
}

}  // namespace kelvane
