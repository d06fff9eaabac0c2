// Symbolic links as a backup takes them: read, copied and read back as links,
// never followed (internal to the POSIX platform). A link's bytes are its
// target's text.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/content_hash.h"
#include "platform/file_attributes.h"
#include "platform/file_system.h"

namespace kelvane::platform {

// The target of `name` in `dirFd` while it is the link `expected`, and the
// link's own status; kErrorChangedSinceScan when anything else is there.
[[nodiscard]] int ReadScannedLink(int dirFd, const std::string& name, const FileId& expected,
                                  std::string* target, struct stat* status);

// A read-only stream of the link's target whose status says it is a link.
std::unique_ptr<FileStream> MakeLinkStream(std::string target, const struct stat& status);

// Copies the link `expected` as a link to `targetName` in `targetDir`, as
// `mode` says, with the link's owner (where the system lets us give it) and
// times. `*content`, when asked for, gets the link's status and the SHA-256
// of its target's text.
[[nodiscard]] int CopyScannedLink(int sourceDir, const std::string& name, const FileId& expected,
                                  int targetDir, const std::string& targetName, CopyMode mode,
                                  FileContent* content);

// The SHA-256 of the target of the link `name` in `dirFd`.
[[nodiscard]] int ReadBackLink(int dirFd, const std::string& name, ContentDigest* digest);

}  // namespace kelvane::platform
