// Trimming the white space around list entries and other texts the user typed.
// Whitespace here is space, TAB, LF, CR, FF and VT.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

bool IsTrimSpace(wchar_t c);
std::wstring TrimRight(std::wstring_view text);
std::wstring Trim(std::wstring_view text);

}  // namespace kelvane
