// The file copy behind FileSystem::CopyFile (internal to the POSIX platform).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/file_attributes.h"
#include "platform/file_system.h"

namespace kelvane::platform {

// Copies `name` of the open folder `sourceDir`, while it is the regular file
// `expected`, to `targetName` in `targetDir` as `mode` says. See
// FileSystem::CopyFile.
[[nodiscard]] int CopyRegularFile(int sourceDir, const std::string& name, const FileId& expected,
                                  int targetDir, const std::string& targetName, CopyMode mode,
                                  FileContent* content);

// See FileSystem::CopyFolderStatus.
[[nodiscard]] int CopyFolderAttributes(int sourceDir, int copyDir);

// See FileSystem::ReadBack.
[[nodiscard]] int ReadBackFile(int dirFd, const std::string& name, ContentDigest* digest);

// Opens `name` of `dirFd` for reading only while it is the regular file
// `expected`; never through a symbolic link, and never blocking on a FIFO.
// `status` is the open file's, taken to check it.
[[nodiscard]] int OpenScannedFile(int dirFd, const std::string& name, const FileId& expected,
                                  int* fd, struct stat* status);

}  // namespace kelvane::platform
