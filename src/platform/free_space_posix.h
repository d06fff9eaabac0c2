// Room on the disk a path is on, for the check before a run writes.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane::platform {

// The bytes an unprivileged writer may still use on the file system of
// `path`, or of its nearest folder that exists (a target is made later);
// `*queried` (when given) is the path that was asked. 0 or the errno value.
int FreeSpaceAt(const std::wstring& path, uint64_t* bytes, std::wstring* queried);

}  // namespace kelvane::platform
