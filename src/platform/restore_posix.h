// Giving back what a backup recorded of a file, link or folder (internal to
// the POSIX platform): FileStream::GiveStatus, FileSystem::MakeLink and
// FileSystem::GiveFolderStatus.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace kelvane::platform {

// Owner, group, extended attributes, permission bits and times of `status`
// onto the open file or folder `fd`.
[[nodiscard]] int GiveStatusTo(int fd, const RestoredStatus& status);

// The link `name` to `target` in `dirFd`, made as FileSystem::MakeLink says.
[[nodiscard]] int MakeRestoredLink(int dirFd, const std::string& name, const std::string& target,
                                   const RestoredStatus& status);

}  // namespace kelvane::platform
