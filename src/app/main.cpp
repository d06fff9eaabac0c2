// kelvane: the backup program.
#include <clocale>
#include <string>
#include <vector>

#include "app/kelvane_app.h"
#include "platform/environment.h"
#include "platform/text_codec.h"

int main(int argc, char** argv) {
  // Dates and times in the log follow the user's locale; numbers in files
  // never do (they are formatted without the C locale machinery).
  std::setlocale(LC_TIME, "");
  kelvane::platform::RaiseOpenFileLimit();
  std::vector<std::wstring> tokens;
  for (int i = 0; i < argc; ++i) tokens.push_back(kelvane::platform::FromNative(argv[i]));
  return kelvane::RunApplication(tokens);
}
