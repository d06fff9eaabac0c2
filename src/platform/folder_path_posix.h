// Opening a folder by its path without letting the kernel follow symbolic
// links on its own (internal to the POSIX platform).
//
// The path is walked one component at a time from "/" (or from the current
// folder for a relative path), so paths of any length work. A symbolic link on
// the way is followed only when the folder holding it belongs to root or to
// the user running the program and nobody else may write in it: then only
// they could have placed the link or can change it. Any other link refuses
// the open with kErrorLinkNotFollowed, so a user cannot turn a path that an
// administrator wrote into a job towards files of someone else.
#pragma once

#include <string>

namespace kelvane::platform {

// Opens the folder at `path` for reading into `*fd`; with `create`, missing
// folders on the way are made (mode 0777 less the umask). Returns 0 or an
// error number.
[[nodiscard]] int OpenFolderByPath(const std::string& path, bool create, int* fd);

// Whether nobody but root or this user can have put a link into the open
// folder `fd`, or change one there.
bool HoldsOnlyTrustedLinks(int fd);

// What a file path stands for when a symbolic link stands at its end: the
// link, and those it leads to, followed under the rule above (a job file
// kept as a link to the real one is the real one), into `*real`; any other
// link gives kErrorLinkNotFollowed. Without a link, the path itself.
[[nodiscard]] int FileBehindLinks(const std::string& path, std::string* real);

}  // namespace kelvane::platform
