// The system's own description of an error number (errno), for messages and logs.
#pragma once

#include <string>

namespace kelvane::platform {

// The system's message for `code` without a trailing line break, or the empty
// text when the system has no message of its own for that number.
std::wstring SystemErrorMessage(int code);

}  // namespace kelvane::platform
