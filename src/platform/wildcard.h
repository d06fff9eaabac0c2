// Wildcard matching of names and paths: "*" matches any run of characters
// (none included), "?" exactly one; letters match regardless of case unless
// asked otherwise (paths on Linux are case-sensitive). A pattern ending in
// ".*" also matches a name without that dot ("*.*" matches every name), as
// users of the original platform expect.
#pragma once

#include <string_view>

namespace kelvane::platform {

enum class LetterCase { kIgnored, kExact };

// True when `text` matches the single `pattern`.
bool MatchesPattern(std::wstring_view text, std::wstring_view pattern,
                    LetterCase letters = LetterCase::kIgnored);

// True when `text` matches at least one pattern of `spec`, a list separated by
// ";" in which blanks around each pattern are ignored.
bool MatchesAnyPattern(std::wstring_view text, std::wstring_view spec);

// The extension of a file name: from its last ".", unless a blank follows that
// dot somewhere; empty when there is none. ".bashrc" has the extension itself.
std::wstring_view FileExtension(std::wstring_view name);

}  // namespace kelvane::platform
