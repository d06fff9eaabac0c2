// Any template with up to three arguments (NUL-separated): expansion never
// crashes, whatever "[n]" references it holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "util/template_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> parts;
  std::string part;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      parts.push_back(kelvane::platform::FromNative(part));
      part.clear();
    } else {
      part.push_back(static_cast<char>(data[i]));
    }
  }
  while (parts.size() < 4) parts.emplace_back();
  (void)kelvane::PrintFEx(parts[0]);
  (void)kelvane::PrintFEx(parts[0], {parts[1]});
  (void)kelvane::PrintFEx(parts[0], {parts[1], parts[2], parts[3]});
  return 0;
}
