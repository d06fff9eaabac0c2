#include "platform/restore_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_io.h"

namespace kelvane::platform {
namespace {

struct timespec ModifiedTime(const RestoredStatus& status) {
  struct timespec time;
  time.tv_sec = static_cast<time_t>(status.modifiedSeconds);
  time.tv_nsec = status.modifiedNanoseconds < 1000000000u ? status.modifiedNanoseconds : 0;
  return time;
}

}  // namespace

int GiveStatusTo(int fd, const RestoredStatus& status) {
  if (::fchown(fd, status.owner, status.group) != 0) {
    (void)::fchown(fd, static_cast<uid_t>(-1), status.group);
  }
  // After fchown, which drops a program's capabilities, and before fchmod,
  // which an ACL's mask follows. What this user may not set, or the file
  // system cannot hold, is left out, as a copy leaves it out.
  for (const auto& [name, value] : status.attributes) {
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0 && errno != EPERM &&
        errno != ENOTSUP && errno != EACCES) {
      return errno;
    }
  }
  struct stat now;
  if (::fstat(fd, &now) != 0) return errno;
  mode_t mode = status.mode & (0777 | S_ISVTX);
  if (now.st_uid == status.owner) mode |= status.mode & S_ISUID;
  if (now.st_gid == status.group) mode |= status.mode & S_ISGID;
  if (::fchmod(fd, mode) != 0) return errno;
  const struct timespec times[2] = {{0, UTIME_OMIT}, ModifiedTime(status)};
  return ::futimens(fd, times) == 0 ? 0 : errno;
}

int MakeRestoredLink(int dirFd, const std::string& name, const std::string& target,
                     const RestoredStatus& status) {
  std::string made;
  if (const int error = CreateTemporaryLinkAt(dirFd, target, &made); error != 0) return error;
  if (::fchownat(dirFd, made.c_str(), status.owner, status.group, AT_SYMLINK_NOFOLLOW) != 0) {
    (void)::fchownat(dirFd, made.c_str(), static_cast<uid_t>(-1), status.group,
                     AT_SYMLINK_NOFOLLOW);
  }
  const struct timespec times[2] = {{0, UTIME_OMIT}, ModifiedTime(status)};
  int error = ::utimensat(dirFd, made.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  if (error == 0 && ::renameat(dirFd, made.c_str(), dirFd, name.c_str()) != 0) error = errno;
  if (error != 0) (void)::unlinkat(dirFd, made.c_str(), 0);
  return error;
}

}  // namespace kelvane::platform
