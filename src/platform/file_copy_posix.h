// File copy behind FileSystem::CopyFile (internal to the POSIX platform).
#pragma once

#include <string>

namespace kelvane::platform {

int CopyRegularFile(const std::string& source, const std::string& target);

}  // namespace kelvane::platform
