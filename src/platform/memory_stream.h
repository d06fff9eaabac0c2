// A read-only stream over bytes held in memory with a status of its own: a
// link's target text, a file the program makes (a backup's manifest), or a
// small file read whole ahead of its turn.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kelvane::platform {

// `status` as given, with its size set to the bytes'; `attributes` are what
// ReadAttributes gives (a file read ahead keeps those it had on disk).
std::unique_ptr<FileStream> MakeMemoryStream(std::string bytes, FileStatus status,
                                             ExtendedAttributes attributes = {});

}  // namespace kelvane::platform
