#include "platform/system_error.h"

#include <cstring>
#include <string_view>

#include "platform/text_codec.h"

namespace kelvane::platform {

std::wstring SystemErrorMessage(int code) {
  if (code == kErrorChangedSinceScan) return L"Changed since the scan";
  if (code == kErrorLinkNotFollowed) return L"Symbolic link not followed";
  if (code == kErrorChangedWhileRead) return L"Changed while it was read";
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* message = strerror_r(code, buffer, sizeof buffer);
  const std::string_view text(message ? message : "");
  if (text.empty() || text.starts_with("Unknown error")) return {};
  return FromNative(text);
}

}  // namespace kelvane::platform
