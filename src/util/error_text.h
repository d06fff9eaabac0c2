// The text a failure line appends after its own sentence, as in
// "Backup file /a/b failed. Code: 2, No such file or directory."
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace kelvane {

// " Code: <code>, <system message>." for an errno value, " <message>." for the
// platform's own numbers ("Changed since the scan."); the empty text for 0 or
// for a number the system has no message for.
std::wstring ErrorText(uint32_t code);

// A failed status as one line: its context, then ErrorText of its code
// ("/backup/Daily.zip: cut off. Code: 22, Invalid argument.").
std::wstring StatusText(const platform::Status& status);

}  // namespace kelvane
