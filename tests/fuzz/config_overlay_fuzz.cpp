// Any bytes as Config.json: the overlay never crashes and every text it
// leaves can be asked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "language/language_table.h"
#include "platform/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path =
      "/tmp/kelvane-fuzz-config-" + std::to_string(::getpid()) + ".json";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  kelvane::LanguageTable texts;
  texts.LoadLanguage(kelvane::platform::FromNative(path), [](const std::wstring&) {});
  (void)texts.GetText(L"ui_menu_new");
  (void)texts.GetText(L"no such text");
  return 0;
}
