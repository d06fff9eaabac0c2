#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_io.h"
#include "platform/text_codec.h"

namespace kelvane::platform {

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
  // Removed while still locked, so nobody can lock this file after us and
  // believe it still guards the name.
  if (fd_ >= 0) ::unlinkat(folderFd_, name_.c_str(), 0);
  CloseDescriptor(fd_);
  CloseDescriptor(folderFd_);
}

int FileLock::TryLock(const Folder& folder, const std::wstring& name) {
  Release();
  const std::string native = ToNative(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // O_NONBLOCK: a FIFO planted at the name must not hang the run.
    const int fd = ::openat(folder.handle(), native.c_str(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    struct stat locked;
    if (::fstat(fd, &locked) != 0) return CloseAfterFailure(fd);
    if (!S_ISREG(locked.st_mode)) {
      ::close(fd);
      return EINVAL;
    }
    if (RetryOnInterrupt([fd] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
      return CloseAfterFailure(fd);
    }
    // The holder before us may have removed the file between our open and our
    // lock: then the name leads elsewhere and this lock guards nothing.
    struct stat named;
    if (::fstatat(folder.handle(), native.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        IdOf(named) != IdOf(locked)) {
      ::close(fd);
      continue;
    }
    folderFd_ = ::fcntl(folder.handle(), F_DUPFD_CLOEXEC, 0);
    if (folderFd_ < 0) return CloseAfterFailure(fd);
    fd_ = fd;
    name_ = native;
    return 0;
  }
  return EAGAIN;
}

}  // namespace kelvane::platform
