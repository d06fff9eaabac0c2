// The small POSIX helpers every file of the POSIX platform needs: reads and
// writes that survive signals, closing that reports once, the file identity
// from a status, and the fsync of a folder (internal to the POSIX platform).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/file_attributes.h"
#include "platform/file_system.h"

namespace kelvane::platform {

// Repeats a system call for as long as a signal interrupts it (-1 with EINTR).
template <class Call>
auto RetryOnInterrupt(Call call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

// One read that retries when a signal interrupts it; `*got` is 0 at the end.
[[nodiscard]] int ReadSome(int fd, void* buffer, size_t n, size_t* got);

// Writes all `n` bytes or fails.
[[nodiscard]] int WriteAll(int fd, const void* data, size_t n);

// How a file is opened for reading: with O_NONBLOCK, so that the open cannot
// hang on a FIFO swapped in for it; the other flags are ones fcntl cannot change.
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
// Back to blocking reads for a file opened with kReadFlags (or with them less
// O_NOFOLLOW): one call, as no other flag needs keeping.
void MakeBlocking(int fd);

// Closes `fd` (when open) and marks it closed; 0 or the errno value.
int CloseDescriptor(int& fd);

// The errno value of the call that just failed, after closing `fd`.
int CloseAfterFailure(int fd);

// What a stream's Status() tells of the file `status` describes.
FileStatus StatusOf(const struct stat& status);

inline FileId IdOf(const struct stat& status) {
  return FileId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

// Creates a new file in the open folder `dirFd`, opened with `flags` (an access
// mode) plus O_CREAT | O_EXCL | O_NOFOLLOW, for its owner only, at the first
// free name `stem` + ".kvn-<process>-<number>.tmp". The one naming scheme of
// every temporary file the program makes; the name goes to `*name`.
[[nodiscard]] int CreateTemporaryAt(int dirFd, const std::string& stem, int flags,
                                    std::string* name, int* fd);

// Makes a symbolic link to `target` in `dirFd` at the first free name of the
// same scheme (stem ""); never replaces anything.
[[nodiscard]] int CreateTemporaryLinkAt(int dirFd, const std::string& target, std::string* name);
// The extended attributes of the open file `fd` this user may read (as root
// all of them, ACLs included); none where the file system has none.
[[nodiscard]] int ReadExtendedAttributes(int fd, ExtendedAttributes* attributes);
// The same for a new folder (0700).
[[nodiscard]] int MakeTemporaryFolderAt(int dirFd, const std::string& stem, std::string* name);
// Removes `name` of `dirFd` and, for a folder, all below it, one folder
// opened inside the other: a link is removed, never followed.
[[nodiscard]] int RemoveTreeAt(int dirFd, const std::string& name);

// The target of the symbolic link `name` in the open folder `fd`, whatever
// its length; the link is read, never followed.
[[nodiscard]] int ReadLinkAt(int fd, const char* name, std::string* target);

// Makes a rename or a new entry in the open folder `fd` durable. Some file
// systems cannot sync a folder; what was done there has happened anyway.
[[nodiscard]] int SyncFolder(int fd);

}  // namespace kelvane::platform
