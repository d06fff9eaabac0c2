// A JSON string literal from UTF-8 bytes: the one escaping the program's JSON
// writers share.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Appends `bytes` to `out` as a quoted JSON string: the quote, the backslash
// and every control character escaped; all other bytes as they are.
void AppendJsonString(std::string_view bytes, std::string* out);

}  // namespace kelvane
