#include "platform/link_copy_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/memory_stream.h"
#include "platform/posix_io.h"
#include "platform/system_error.h"

namespace kelvane::platform {
int ReadScannedLink(int dirFd, const std::string& name, const FileId& expected, std::string* target,
                    struct stat* status) {
  if (::fstatat(dirFd, name.c_str(), status, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISLNK(status->st_mode) || IdOf(*status) != expected) return kErrorChangedSinceScan;
  if (const int error = ReadLinkAt(dirFd, name.c_str(), target); error != 0) return error;
  // A link's target never changes: the same link still there means the
  // target read is its own.
  struct stat after;
  if (::fstatat(dirFd, name.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  return S_ISLNK(after.st_mode) && IdOf(after) == expected ? 0 : kErrorChangedSinceScan;
}

std::unique_ptr<FileStream> MakeLinkStream(std::string target, const struct stat& status) {
  // A link's size is its target's length, as lstat gives it.
  return MakeMemoryStream(std::move(target), StatusOf(status));
}

int CopyScannedLink(int sourceDir, const std::string& name, const FileId& expected, int targetDir,
                    const std::string& targetName, CopyMode mode, FileContent* content) {
  std::string target;
  struct stat status;
  if (const int error = ReadScannedLink(sourceDir, name, expected, &target, &status); error != 0) {
    return error;
  }
  std::string made = targetName;
  if (mode == CopyMode::kCreateNew) {
    if (::symlinkat(target.c_str(), targetDir, targetName.c_str()) != 0) return errno;
  } else if (const int error = CreateTemporaryLinkAt(targetDir, target, &made); error != 0) {
    return error;
  }
  // Root keeps the owner, as cp -a does; another user keeps their own.
  (void)::fchownat(targetDir, made.c_str(), status.st_uid, status.st_gid, AT_SYMLINK_NOFOLLOW);
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  int error = ::utimensat(targetDir, made.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  if (error == 0 && made != targetName &&
      ::renameat(targetDir, made.c_str(), targetDir, targetName.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(targetDir, made.c_str(), 0);
    return error;
  }
  if (content) *content = FileContent{StatusOf(status), DigestOf(target), {}};
  return 0;
}

int ReadBackLink(int dirFd, const std::string& name, ContentDigest* digest) {
  std::string target;
  if (const int error = ReadLinkAt(dirFd, name.c_str(), &target); error != 0) return error;
  if (digest) *digest = DigestOf(target);
  return 0;
}

}  // namespace kelvane::platform
