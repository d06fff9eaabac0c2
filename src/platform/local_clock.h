// Local wall-clock time as text, in the time zone of the environment.
#pragma once

#include <string>

namespace kelvane::platform {

// The current local time formatted with strftime's `format` (for example
// "_%Y-%m-%d_%H-%M"); the empty text when the result does not fit 255 bytes.
std::wstring FormatLocalTime(const char* format);

}  // namespace kelvane::platform
