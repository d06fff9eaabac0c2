#include "platform/directory_entry_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace kelvane::platform {

int DescribeEntry(int dirFd, const char* name, uint64_t folderDevice, DirectoryEntry* entry) {
  struct statx status;
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_INO | STATX_SIZE |
                  STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME,
              &status) != 0) {
    return errno;
  }
  const mode_t mode = status.stx_mode;
  entry->id = FileId{static_cast<uint64_t>(::makedev(status.stx_dev_major, status.stx_dev_minor)),
                     status.stx_ino};
  uint32_t attributes = kAttributeArchive | kAttributeUnixExtension | ((mode & 0xFFFF) << 16);
  if (name[0] == '.') attributes |= kAttributeHidden;
  if (!(mode & S_IWUSR)) attributes |= kAttributeReadOnly;
  if (S_ISDIR(mode)) {
    attributes |= kAttributeDirectory;
    if (entry->id.device != folderDevice) {
      attributes |= kAttributeReparsePoint;
      entry->reparseTag = kReparseTagMountPoint;
    }
  } else if (S_ISLNK(mode)) {
    attributes |= kAttributeReparsePoint;
    entry->reparseTag = kReparseTagSymlink;
    // Only to tell a link to a folder from a link to a file; never followed.
    struct stat target;
    if (::fstatat(dirFd, name, &target, AT_NO_AUTOMOUNT) == 0 && S_ISDIR(target.st_mode)) {
      attributes |= kAttributeDirectory;
    }
  } else if (!S_ISREG(mode)) {
    attributes |= kAttributeDevice;
  }
  entry->attributes = attributes;
  entry->owner = status.stx_uid;
  entry->group = status.stx_gid;
  // A link's size is its target's length: its bytes in a backup.
  entry->size = S_ISREG(mode) || S_ISLNK(mode) ? status.stx_size : 0;
  entry->lastWriteTime = FileTimeFromUnix(status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec);
  entry->lastAccessTime = FileTimeFromUnix(status.stx_atime.tv_sec, status.stx_atime.tv_nsec);
  entry->changeTime =
      static_cast<uint64_t>(status.stx_ctime.tv_sec) * 1000000000u + status.stx_ctime.tv_nsec;
  entry->creationTime = (status.stx_mask & STATX_BTIME)
                            ? FileTimeFromUnix(status.stx_btime.tv_sec, status.stx_btime.tv_nsec)
                            : entry->lastWriteTime;
  return 0;
}

}  // namespace kelvane::platform
