// A notice on the desktop through the session's notification service
// (libnotify), for runs nobody watches in a window.
#pragma once

#include <string>

namespace kelvane {

// Shows `title` and `body`; the body links the log (the service opens it
// with the desktop's program when clicked, where it shows links). Without a
// session bus there is no desktop to tell: `*noDesktop` is set and nothing
// is shown. "" when shown, else why not.
std::wstring ShowDesktopNotice(const std::wstring& title, const std::wstring& body,
                               const std::wstring& logPath, bool* noDesktop);

}  // namespace kelvane
