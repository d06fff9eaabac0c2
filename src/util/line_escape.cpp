#include "util/line_escape.h"

#include <cstdio>

#include "platform/text_codec.h"

namespace kelvane {

std::string EscapedLine(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  char escape[8];
  for (const wchar_t c : text) {
    const auto code = static_cast<uint32_t>(c);
    if (c == L'\\') {
      out += "\\\\";
    } else if (code < 0x20 || code == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", code);
      out += escape;
    } else if (platform::IsEscapedByte(c)) {
      std::snprintf(escape, sizeof escape, "\\x%02X", code - 0xDC00);
      out += escape;
    } else if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) {
      std::snprintf(escape, sizeof escape, "\\u%04X", code);
      out += escape;
    } else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      platform::AppendUtf8(out, U'\uFFFD');
    } else {
      platform::AppendUtf8(out, static_cast<char32_t>(code));
    }
  }
  return out;
}

}  // namespace kelvane
