#include "json/json_string.h"

namespace kelvane {

void AppendJsonString(std::string_view bytes, std::string* out) {
  out->push_back('"');
  // Runs of characters that need no escape go in whole: a manifest writes
  // millions of paths.
  size_t plain = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (static_cast<unsigned char>(c) >= 32 && c != '"' && c != '\\') continue;
    out->append(bytes.data() + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\b': *out += "\\b"; break;
      case '\t': *out += "\\t"; break;
      case '\n': *out += "\\n"; break;
      case '\f': *out += "\\f"; break;
      case '\r': *out += "\\r"; break;
      default: {
        static const char kHex[] = "0123456789abcdef";
        *out += "\\u00";
        out->push_back(kHex[(c >> 4) & 0xF]);
        out->push_back(kHex[c & 0xF]);
      }
    }
  }
  out->append(bytes.data() + plain, bytes.size() - plain);
  out->push_back('"');
}

}  // namespace kelvane
