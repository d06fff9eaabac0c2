// Copying one file the way a backup needs it: complete or not at all, and
// never giving anyone more than the original gave them.
#include "platform/file_copy_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/content_hash.h"
#include "platform/posix_io.h"
#include "platform/system_error.h"

namespace kelvane::platform {
namespace {

// The SHA-256 of what a copy read, when the caller wants one; null otherwise.
class Checksum {
 public:
  explicit Checksum(ContentDigest* out) : out_(out) {}
  ~Checksum() {
    if (out_) *out_ = hash_.Finish();
  }
  bool wanted() const { return out_ != nullptr; }
  void Add(const char* data, size_t n) {
    if (out_) hash_.Add(data, n);
  }
  // A hole reads as zeros.
  void AddZeros(off_t n) {
    static const char kZeros[1 << 16] = {};
    for (; out_ && n > 0; n -= std::min<off_t>(n, sizeof kZeros)) {
      Add(kZeros, static_cast<size_t>(std::min<off_t>(n, sizeof kZeros)));
    }
  }

 private:
  ContentDigest* out_;
  Sha256 hash_;
};

// Copies `length` bytes at `offset` of `in` to the same place in `out`.
int CopyRange(int in, int out, off_t offset, off_t length, Checksum& checksum) {
  bool kernelCopy = !checksum.wanted();
  char buffer[1 << 16];
  off_t inOffset = offset;
  off_t outOffset = offset;
  while (length > 0) {
    if (kernelCopy) {
      const ssize_t copied = RetryOnInterrupt([&] {
        return ::copy_file_range(in, &inOffset, out, &outOffset,
                                 static_cast<size_t>(std::min<off_t>(length, 1 << 30)), 0);
      });
      if (copied > 0) {
        length -= copied;
        continue;
      }
      if (copied == 0) return 0;  // the file ended early: it shrank
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        return errno;
      }
      kernelCopy = false;
    }
    const size_t want = static_cast<size_t>(std::min<off_t>(length, sizeof buffer));
    const ssize_t got = RetryOnInterrupt([&] { return ::pread(in, buffer, want, inOffset); });
    if (got < 0) return errno;
    if (got == 0) return 0;
    checksum.Add(buffer, static_cast<size_t>(got));
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = RetryOnInterrupt(
          [&] { return ::pwrite(out, buffer + done, static_cast<size_t>(got - done), outOffset); });
      if (put < 0) return errno;
      done += put;
      outOffset += put;
    }
    inOffset += got;
    length -= got;
  }
  return 0;
}

// A file with holes is copied data region by data region, so the holes stay
// holes: a 1 GiB sparse disk image must not become 1 GiB of zeros in the
// backup. False in `*done` when the file system cannot tell the regions.
int CopySparseContents(int in, int out, Checksum& checksum, bool* done) {
  *done = false;
  off_t position = 0;
  for (;;) {
    const off_t data = ::lseek(in, position, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // no data after `position`
      if (position == 0 && (errno == EINVAL || errno == EOPNOTSUPP)) return 0;
      return errno;
    }
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0) return errno;
    checksum.AddZeros(data - position);
    if (const int error = CopyRange(in, out, data, hole - data, checksum); error != 0) {
      return error;
    }
    position = hole;
  }
  // The length, with a hole at the end if there is one.
  const off_t size = ::lseek(in, 0, SEEK_END);
  if (size < 0) return errno;
  checksum.AddZeros(size - position);
  if (::ftruncate(out, size) != 0) return errno;
  *done = true;
  return 0;
}

int CopyContents(int in, int out, const struct stat& status, Checksum& checksum) {
  // Fewer blocks than the size needs: the file has holes.
  if (static_cast<off_t>(status.st_blocks) * 512 < status.st_size) {
    bool done = false;
    if (const int error = CopySparseContents(in, out, checksum, &done); error != 0 || done) {
      return error;
    }
  }
  bool kernelCopy = !checksum.wanted();
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
    checksum.Add(buffer, got);
    if (const int error = WriteAll(out, buffer, got); error != 0) return error;
  }
}

// The extended attributes of `in` onto `out`: user.*, and as root also
// trusted.*, security.* (a program's capabilities) and the ACLs
// (system.posix_acl_*). What the system does not let this user set, or the
// target's file system cannot hold, is left out; any other failure is said.
int CopyExtendedAttributes(int in, int out, ExtendedAttributes* copied) {
  ExtendedAttributes attributes;
  if (const int error = ReadExtendedAttributes(in, &attributes); error != 0) return error;
  for (const auto& [name, value] : attributes) {
    if (::fsetxattr(out, name.c_str(), value.data(), value.size(), 0) != 0 && errno != EPERM &&
        errno != ENOTSUP && errno != EACCES) {
      return errno;
    }
  }
  if (copied) *copied = std::move(attributes);
  return 0;
}

// Owner, group, extended attributes, permission bits and times of `source`
// (open as `in`) onto the copy `out`.
// Root keeps owner and group (as cp -a does); another user keeps what the
// system lets them give. A set-user-ID bit survives only with its owner and a
// set-group-ID bit only with its group: otherwise copying someone's program
// as root would make a root-owned program that runs with root's rights.
int CopyAttributes(int in, const struct stat& source, int out,
                   ExtendedAttributes* copied = nullptr) {
  if (::fchown(out, source.st_uid, source.st_gid) != 0) {
    // Not allowed to give the file away: at least keep the group if we may.
    (void)::fchown(out, static_cast<uid_t>(-1), source.st_gid);
  }
  // After fchown, which drops a program's capabilities, and before fchmod,
  // which an ACL's mask follows.
  if (const int error = CopyExtendedAttributes(in, out, copied); error != 0) return error;
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

int OpenScannedFile(int dirFd, const std::string& name, const FileId& expected, int* fd,
                    struct stat* status) {
  *fd = ::openat(dirFd, name.c_str(), kReadFlags);
  if (*fd < 0) {
    // A link at the name of what was a regular file: it was swapped since.
    return errno == ELOOP ? kErrorChangedSinceScan : errno;
  }
  int error = ::fstat(*fd, status) == 0 ? 0 : errno;
  if (error == 0 && (!S_ISREG(status->st_mode) || IdOf(*status) != expected)) {
    error = kErrorChangedSinceScan;
  }
  if (error != 0) {
    CloseDescriptor(*fd);
    return error;
  }
  MakeBlocking(*fd);
  return 0;
}

// Whether a file read between `before` and `after` was left alone meanwhile.
bool Unchanged(const struct stat& before, const struct stat& after) {
  return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
         before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
         before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
         before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// Copies `in` into `out`; a file that changed while it was read is read once
// more from the start, as it is then, and one that changes again fails.
int CopyUnchangedContents(int in, int out, struct stat* status, ContentDigest* digest) {
  for (int attempt = 0;; ++attempt) {
    Checksum checksum(digest);
    if (const int error = CopyContents(in, out, *status, checksum); error != 0) return error;
    struct stat after;
    if (::fstat(in, &after) != 0) return errno;
    if (Unchanged(*status, after)) return 0;
    if (attempt == 1) return kErrorChangedWhileRead;
    *status = after;
    if (::ftruncate(out, 0) != 0 || ::lseek(in, 0, SEEK_SET) < 0 || ::lseek(out, 0, SEEK_SET) < 0) {
      return errno;
    }
  }
}

int CopyRegularFile(int sourceDir, const std::string& name, const FileId& expected, int targetDir,
                    const std::string& targetName, CopyMode mode, FileContent* content) {
  int in = -1;
  struct stat status;
  if (const int error = OpenScannedFile(sourceDir, name, expected, &in, &status); error != 0) {
    return error;
  }

  // Where the bytes go until they are complete: the name itself in a new
  // tree (the exclusive create never writes through anything planted there),
  // else a temporary in the same folder.
  std::string written = targetName;
  int out = -1;
  int error = 0;
  if (mode == CopyMode::kCreateNew) {
    out = ::openat(targetDir, targetName.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) error = errno;
  } else {
    error = CreateTemporaryAt(targetDir, "", O_WRONLY, &written, &out);
  }
  if (error != 0) {
    ::close(in);
    return error;
  }
  error = CopyUnchangedContents(in, out, &status, content ? &content->digest : nullptr);
  if (content) content->status = StatusOf(status);
  if (error == 0) error = CopyAttributes(in, status, out, content ? &content->attributes : nullptr);
  if (const int closed = CloseDescriptor(out); error == 0) error = closed;
  ::close(in);
  if (error == 0 && written != targetName &&
      ::renameat(targetDir, written.c_str(), targetDir, targetName.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) ::unlinkat(targetDir, written.c_str(), 0);
  return error;
}

int CopyFolderAttributes(int sourceDir, int copyDir) {
  struct stat status;
  if (::fstat(sourceDir, &status) != 0) return errno;
  return CopyAttributes(sourceDir, status, copyDir);
}

int ReadBackFile(int dirFd, const std::string& name, ContentDigest* digest) {
  const int fd = ::openat(dirFd, name.c_str(), kReadFlags);
  if (fd < 0) return errno;
  struct stat status;
  if (::fstat(fd, &status) != 0) return CloseAfterFailure(fd);
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    return EINVAL;
  }
  // Only clean pages can be dropped: written out first, then read from disk.
  // Writing the pages out is all it takes; fdatasync would also commit the
  // journal and flush the disk's cache for each file (a folder copy's check
  // of 20,000 files took 5 times as long as the copy).
  if (::sync_file_range(fd, 0, 0,
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                            SYNC_FILE_RANGE_WAIT_AFTER) != 0 &&
      ::fdatasync(fd) != 0) {
    return CloseAfterFailure(fd);
  }
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  MakeBlocking(fd);
  Checksum checksum(digest);
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if (const int error = ReadSome(fd, buffer, sizeof buffer, &got); error != 0) {
      ::close(fd);
      return error;
    }
    if (got == 0) break;
    checksum.Add(buffer, got);
  }
  // Read once; nobody needs the copy's pages now.
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
  return 0;
}

}  // namespace kelvane::platform
