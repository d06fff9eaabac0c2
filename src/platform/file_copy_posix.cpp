// Copying one file the way a backup needs it: complete or not at all.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/file_copy_posix.h"

namespace kelvane::platform {
namespace {

// Several copies may run at once (tests, future parallel targets); the name
// only has to be unique within this process and folder.
std::atomic<uint64_t> temporarySequence{0};

int CopyContents(int in, int out) {
  bool kernelCopy = true;
  char buffer[1 << 16];
  for (;;) {
    if (kernelCopy) {
      const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
      if (copied > 0) continue;
      if (copied == 0) return 0;
      if (errno == EINTR) continue;
      // Not supported between these file systems: fall back to plain reads.
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        return errno;
      }
      kernelCopy = false;
    }
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t written = ::write(out, buffer + done, static_cast<size_t>(got - done));
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += written;
    }
  }
}

}  // namespace

int CopyRegularFile(const std::string& source, const std::string& target) {
  // O_NONBLOCK: should the source have become a FIFO since the scan, opening it
  // must not hang the run; it is refused below.
  const int in = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat status;
  if (::fstat(in, &status) != 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(in);
    return EINVAL;
  }

  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string temporary;
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
    static const pid_t process = ::getpid();
    temporary = folder + ".kvn-" + std::to_string(process) + "-" +
                std::to_string(temporarySequence.fetch_add(1)) + ".tmp";
    out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0 && errno != EEXIST) break;
  }
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }

  int error = CopyContents(in, out);
  if (error == 0 && ::fchmod(out, status.st_mode & 07777) != 0) error = errno;
  if (error == 0) {
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::futimens(out, times) != 0) error = errno;
  }
  if (::close(out) != 0 && error == 0 && errno != EINTR) error = errno;
  ::close(in);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace kelvane::platform
