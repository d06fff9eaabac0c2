// Copying one file the way a backup needs it: complete or not at all, and
// never giving anyone more than the original gave them.
#include "platform/file_copy_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix_io.h"
#include "platform/system_error.h"

namespace kelvane::platform {
namespace {

int CopyContents(int in, int out) {
  bool kernelCopy = true;
  char buffer[1 << 16];
  for (;;) {
    if (kernelCopy) {
      const ssize_t copied = RetryOnInterrupt(
          [&] { return ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0); });
      if (copied > 0) continue;
      if (copied == 0) return 0;
      // Not supported between these file systems: fall back to plain reads.
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        return errno;
      }
      kernelCopy = false;
    }
    size_t got = 0;
    if (const int error = ReadSome(in, buffer, sizeof buffer, &got); error != 0) return error;
    if (got == 0) return 0;
    if (const int error = WriteAll(out, buffer, got); error != 0) return error;
  }
}

// Owner, group, permission bits and times of `source` onto the copy `out`.
// Root keeps owner and group (as cp -a does); another user keeps what the
// system lets them give. A set-user-ID bit survives only with its owner and a
// set-group-ID bit only with its group: otherwise copying someone's program
// as root would make a root-owned program that runs with root's rights.
int CopyAttributes(const struct stat& source, int out) {
  if (::fchown(out, source.st_uid, source.st_gid) != 0) {
    // Not allowed to give the file away: at least keep the group if we may.
    (void)::fchown(out, static_cast<uid_t>(-1), source.st_gid);
  }
  struct stat copy;
  if (::fstat(out, &copy) != 0) return errno;
  mode_t mode = source.st_mode & 0777;
  if (copy.st_uid == source.st_uid) mode |= source.st_mode & (S_ISUID | S_ISVTX);
  if (copy.st_gid == source.st_gid) mode |= source.st_mode & S_ISGID;
  // After fchown, which clears the special bits on Linux.
  if (::fchmod(out, mode) != 0) return errno;
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return ::futimens(out, times) == 0 ? 0 : errno;
}

}  // namespace

int OpenScannedFile(int dirFd, const std::string& name, const FileId& expected, int* fd) {
  *fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (*fd < 0) {
    // A link at the name of what was a regular file: it was swapped since.
    return errno == ELOOP ? kErrorChangedSinceScan : errno;
  }
  struct stat status;
  int error = ::fstat(*fd, &status) == 0 ? 0 : errno;
  if (error == 0 && (!S_ISREG(status.st_mode) || IdOf(status) != expected)) {
    error = kErrorChangedSinceScan;
  }
  if (error != 0) {
    CloseDescriptor(*fd);
    return error;
  }
  // Back to blocking reads; O_NONBLOCK only kept the open from hanging on a FIFO.
  ::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) & ~O_NONBLOCK);
  return 0;
}

int CopyRegularFile(int sourceDir, const std::string& name, const FileId& expected, int targetDir,
                    const std::string& targetName, int workDir) {
  int in = -1;
  if (const int error = OpenScannedFile(sourceDir, name, expected, &in); error != 0) return error;
  struct stat status;
  if (::fstat(in, &status) != 0) return CloseAfterFailure(in);

  std::string temporary;
  int out = -1;
  if (const int error = CreateTemporaryAt(workDir, "", O_WRONLY, &temporary, &out); error != 0) {
    ::close(in);
    return error;
  }
  int error = CopyContents(in, out);
  if (error == 0) error = CopyAttributes(status, out);
  if (const int closed = CloseDescriptor(out); error == 0) error = closed;
  ::close(in);
  if (error == 0 && ::renameat(workDir, temporary.c_str(), targetDir, targetName.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) ::unlinkat(workDir, temporary.c_str(), 0);
  return error;
}

}  // namespace kelvane::platform
