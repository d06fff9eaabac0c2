// Whether a folder is a disk's mount point while the disk is not there: the
// empty folder it leaves behind must never be filled as if it were the disk.
#pragma once

#include <string>

namespace kelvane::platform {

// True when /etc/fstab names `path` as a mount point and no file system is
// mounted there now (the folder is on the same device as its parent).
bool AwaitsItsFileSystem(const std::wstring& path);

}  // namespace kelvane::platform
