#include "platform/posix_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_codec.h"

namespace kelvane::platform {

int ReadSome(int fd, void* buffer, size_t n, size_t* got) {
  const ssize_t result = RetryOnInterrupt([&] { return ::read(fd, buffer, n); });
  *got = result < 0 ? 0 : static_cast<size_t>(result);
  return result < 0 ? errno : 0;
}

int WriteAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t written = RetryOnInterrupt([&] { return ::write(fd, p, n); });
    if (written < 0) return errno;
    p += written;
    n -= static_cast<size_t>(written);
  }
  return 0;
}

int CloseDescriptor(int& fd) {
  if (fd < 0) return 0;
  const int result = ::close(fd);
  fd = -1;
  // A close interrupted by a signal has still released the descriptor on Linux.
  return result == 0 || errno == EINTR ? 0 : errno;
}

FileStatus StatusOf(const struct stat& info) {
  FileStatus status;
  status.size = static_cast<uint64_t>(info.st_size);
  status.mode = info.st_mode & 07777;
  status.link = S_ISLNK(info.st_mode);
  status.sparse = S_ISREG(info.st_mode) && static_cast<off_t>(info.st_blocks) * 512 < info.st_size;
  status.owner = info.st_uid;
  status.group = info.st_gid;
  status.modifiedSeconds = info.st_mtim.tv_sec;
  status.modifiedNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
  status.changeTime =
      static_cast<uint64_t>(info.st_ctim.tv_sec) * 1000000000u + info.st_ctim.tv_nsec;
  return status;
}

int CloseAfterFailure(int fd) {
  const int error = errno;
  if (fd >= 0) ::close(fd);
  return error;
}

namespace {

// The next name of the temporary-file scheme for `stem`. Unique within this
// process; the process number keeps concurrent runs apart, and the exclusive
// create settles any clash with a leftover.
std::string NextTemporaryName(const std::string& stem) {
  static std::atomic<uint64_t> sequence{0};
  static const pid_t process = ::getpid();
  return ToNative(
      TemporaryName(FromNative(stem), static_cast<uint64_t>(process), sequence.fetch_add(1)));
}

}  // namespace

int CreateTemporaryAt(int dirFd, const std::string& stem, int flags, std::string* name, int* fd) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = NextTemporaryName(stem);
    *fd = ::openat(dirFd, name->c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (*fd >= 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int CreateTemporaryLinkAt(int dirFd, const std::string& target, std::string* name) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = NextTemporaryName("");
    if (::symlinkat(target.c_str(), dirFd, name->c_str()) == 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int ReadExtendedAttributes(int fd, ExtendedAttributes* attributes) {
  attributes->clear();
  std::vector<char> names(4096);
  ssize_t length;
  while ((length = ::flistxattr(fd, names.data(), names.size())) < 0 && errno == ERANGE) {
    names.resize(names.size() * 4);
  }
  if (length < 0) return errno == ENOTSUP ? 0 : errno;
  std::vector<char> value(4096);
  for (const char* name = names.data(); name < names.data() + length;
       name += std::strlen(name) + 1) {
    ssize_t size;
    while ((size = ::fgetxattr(fd, name, value.data(), value.size())) < 0 && errno == ERANGE) {
      value.resize(value.size() * 4);
    }
    if (size < 0) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return errno;
    }
    attributes->emplace_back(name, std::string(value.data(), static_cast<size_t>(size)));
  }
  return 0;
}

int MakeTemporaryFolderAt(int dirFd, const std::string& stem, std::string* name) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    *name = NextTemporaryName(stem);
    if (::mkdirat(dirFd, name->c_str(), 0700) == 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int RemoveTreeAt(int dirFd, const std::string& name) {
  if (::unlinkat(dirFd, name.c_str(), 0) == 0) return 0;
  if (errno != EISDIR && errno != EPERM) return errno;
  const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) return CloseAfterFailure(fd);
  std::vector<std::string> names;
  for (const dirent* item; (item = ::readdir(dir)) != nullptr;) {
    const std::string_view entry = item->d_name;
    if (entry != "." && entry != "..") names.emplace_back(entry);
  }
  int error = 0;
  for (const std::string& inside : names) {
    if (const int removed = RemoveTreeAt(::dirfd(dir), inside); removed != 0 && error == 0) {
      error = removed;
    }
  }
  ::closedir(dir);
  if (error == 0 && ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) error = errno;
  return error;
}

void MakeBlocking(int fd) { (void)::fcntl(fd, F_SETFL, 0); }

int SyncFolder(int fd) { return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno; }

int ReadLinkAt(int fd, const char* name, std::string* target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlinkat(fd, name, buffer.data(), buffer.size());
    if (length < 0) return errno;
    if (static_cast<size_t>(length) < buffer.size()) {
      target->assign(buffer.data(), static_cast<size_t>(length));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace kelvane::platform
