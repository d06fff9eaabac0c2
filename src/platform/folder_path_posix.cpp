#include "platform/folder_path_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/posix_io.h"
#include "platform/system_error.h"

namespace kelvane::platform {
namespace {
// As many links as the kernel itself would follow on one path.
constexpr int kMaxLinks = 40;
}  // namespace

bool HoldsOnlyTrustedLinks(int fd) {
  struct stat status;
  if (::fstat(fd, &status) != 0) return false;
  const bool trustedOwner = status.st_uid == 0 || status.st_uid == ::geteuid();
  return trustedOwner && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int FileBehindLinks(const std::string& path, std::string* real) {
  *real = path;
  for (int hops = 0;; ++hops) {
    const size_t slash = real->rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : real->substr(0, slash);
    const std::string name = slash == std::string::npos ? *real : real->substr(slash + 1);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return errno == ENOENT ? 0 : errno;  // nothing there yet
    struct stat status;
    if (::fstatat(dirFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(status.st_mode)) {
      ::close(dirFd);
      return 0;
    }
    if (hops == kMaxLinks || !HoldsOnlyTrustedLinks(dirFd)) {
      ::close(dirFd);
      return kErrorLinkNotFollowed;
    }
    std::string target(static_cast<size_t>(status.st_size) + 1, '\0');
    const ssize_t length = ::readlinkat(dirFd, name.c_str(), target.data(), target.size());
    ::close(dirFd);
    if (length < 0) return errno;
    target.resize(static_cast<size_t>(length));
    *real = target.starts_with('/') ? target : folder + "/" + target;
  }
}

namespace {

// Pushes the components of `path` so that the first one is taken first.
void PushComponents(std::string_view path, std::vector<std::string>* pending) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  pending->insert(pending->end(), parts.rbegin(), parts.rend());
}

int OpenStep(int fd, const std::string& name) {
  return ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

int OpenFolderByPath(const std::string& path, bool create, int* out) {
  *out = -1;
  if (path.empty()) return ENOENT;
  if (path.find('\0') != std::string::npos) return EINVAL;
  // O_PATH on the way: passing through a folder needs search permission only.
  int fd = ::open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  std::vector<std::string> pending;
  PushComponents(path, &pending);
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    int next = OpenStep(fd, name);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(fd, name.c_str(), 0777) != 0 && errno != EEXIST) return CloseAfterFailure(fd);
      next = OpenStep(fd, name);
    }
    if (next >= 0) {
      ::close(fd);
      fd = next;
      continue;
    }
    const int error = errno;
    struct stat status;
    const bool isLink = (error == ENOTDIR || error == ELOOP) &&
                        ::fstatat(fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISLNK(status.st_mode);
    if (!isLink) {
      ::close(fd);
      return error;
    }
    int refused = HoldsOnlyTrustedLinks(fd) ? 0 : kErrorLinkNotFollowed;
    if (refused == 0 && ++links > kMaxLinks) refused = ELOOP;
    std::string target;
    if (refused == 0) refused = ReadLinkAt(fd, name.c_str(), &target);
    if (refused != 0) {
      ::close(fd);
      return refused;
    }
    if (target.front() == '/') {
      ::close(fd);
      fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return errno;
    }
    PushComponents(target, &pending);
  }
  // The folder itself is opened for reading: its entries are listed through it.
  const int folder = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int error = folder < 0 ? errno : 0;
  ::close(fd);
  if (folder < 0) return error;
  *out = folder;
  return 0;
}

}  // namespace kelvane::platform
