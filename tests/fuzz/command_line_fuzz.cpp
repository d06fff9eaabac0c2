// Any arguments (NUL-separated bytes) as a command line: parsing never
// crashes, whatever the switches and values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> tokens = {L"kelvane"};
  std::string token;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      tokens.push_back(kelvane::platform::FromNative(token));
      token.clear();
    } else {
      token.push_back(static_cast<char>(data[i]));
    }
  }
  kelvane::CommandLineArgs args({L"file", L"start", L"console", L"minimize", L"help"});
  args.Parse(tokens);
  for (const wchar_t* name : {L"file", L"start", L"console", L"minimize", L"help"}) {
    (void)args.Has(name);
    (void)args.Value(name);
    (void)args.Flag(name);
  }
  (void)args.UnknownSwitches();
  return 0;
}
