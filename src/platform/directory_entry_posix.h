// What a folder listing says of one entry (internal to the POSIX platform).
#pragma once

#include <cstdint>

#include "platform/file_attributes.h"

namespace kelvane::platform {

// Fills `entry` from the status of `name` inside the open folder `dirFd`, whose
// device is `folderDevice`; the entry itself, never what a link points to.
[[nodiscard]] int DescribeEntry(int dirFd, const char* name, uint64_t folderDevice,
                                DirectoryEntry* entry);

}  // namespace kelvane::platform
