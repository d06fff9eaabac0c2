// Splitting the program's list texts: pattern lists ("*.txt;*.doc"), list
// texts with one entry per line, folder lists.
#pragma once

#include <string_view>
#include <vector>

namespace kelvane::platform {

// The pieces of `text` between any of the `separators` characters; runs of
// separators and separators at either end give no empty pieces. The pieces
// point into `text`.
std::vector<std::wstring_view> SplitList(std::wstring_view text, std::wstring_view separators);

}  // namespace kelvane::platform
