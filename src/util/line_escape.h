// Writing text that came from others (file names above all) so that one event
// always stays one line: a name holding a line break or a terminal control
// sequence cannot add a convincing line to a log or rewrite a terminal.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// `text` as one line of valid UTF-8:
//   - a control character U+0000..U+001F or U+007F becomes \xHH (TAB and line
//     feed included),
//   - a C1 control U+0080..U+009F and the separators U+2028 and U+2029 become
//     \uHHHH,
//   - a byte of a file name that is not UTF-8 becomes \xHH, its value,
//   - a backslash becomes \\, so every escape reads back unambiguously,
//   - any other code point UTF-8 cannot carry (a lone surrogate) becomes U+FFFD.
std::string EscapedLine(std::wstring_view text);

}  // namespace kelvane
