// A read-only stream over bytes held in memory with a status of its own: a
// link's target text, or a file the program makes (a backup's manifest).
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kelvane::platform {

// `status` as given, with its size set to the bytes'.
std::unique_ptr<FileStream> MakeMemoryStream(std::string bytes, FileStatus status);

}  // namespace kelvane::platform
