// The text a failure line appends after its own sentence, as in
// "Backup file /a/b failed. Code: 2, No such file or directory."
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// " Code: <code>, <system message>." for an errno value, " <message>." for the
// platform's own numbers ("Changed since the scan."); the empty text for 0 or
// for a number the system has no message for.
std::wstring ErrorText(uint32_t code);

}  // namespace kelvane
