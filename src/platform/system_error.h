// Error numbers of the file-system layer and their descriptions, for messages
// and logs.
//
// Results are errno values, plus a few of the platform's own for what the system
// has no number for. All are above every errno value.
#pragma once

#include <string>

namespace kelvane::platform {

// A file or folder is no longer the one the scan listed: it was replaced,
// perhaps by a symbolic link, between the scan and the moment it was opened.
inline constexpr int kErrorChangedSinceScan = 0x10001;
// A symbolic link stands where a folder was expected and is not followed,
// because someone other than root or the user running the program could have
// placed or changed it (or because it lies inside a tree the run writes).
inline constexpr int kErrorLinkNotFollowed = 0x10002;
// A file changed while it was read, and again when it was read once more: no
// version of it could be read whole.
inline constexpr int kErrorChangedWhileRead = 0x10003;
// Another program (rclone) failed; the status's context holds its message.
inline constexpr int kErrorProgramFailed = 0x10004;

// True for the platform's own numbers above.
inline bool IsOwnError(int code) { return code > 0xFFFF; }

// The system's message for `code` without a trailing line break, or the empty
// text when the system has no message of its own for that number.
std::wstring SystemErrorMessage(int code);

}  // namespace kelvane::platform
