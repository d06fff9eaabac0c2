// The native path separator and where the running program lives.
#pragma once

#include <string>

namespace kelvane::platform {

// Every rule about "the separator" (folder paths end in it, stored paths drop
// the root one) uses this character.
inline constexpr wchar_t kPathSeparator = L'/';

// `path` made absolute against the current folder; unchanged when it already is
// (or when the current folder cannot be told).
std::wstring AbsolutePath(const std::wstring& path);

// Full path of the running executable, or the empty text when it cannot be told.
std::wstring ExecutablePath();

}  // namespace kelvane::platform
