// The real file system on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_copy_posix.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/text_codec.h"

namespace kelvane::platform {
namespace {

int CloseDescriptor(int& fd) {
  if (fd < 0) return 0;
  const int result = ::close(fd);
  fd = -1;
  // A close interrupted by a signal has still released the descriptor on Linux.
  return result == 0 || errno == EINTR ? 0 : errno;
}

// One read that retries when a signal interrupts it.
int ReadSome(int fd, void* buffer, size_t n, size_t* got) {
  for (;;) {
    const ssize_t result = ::read(fd, buffer, n);
    if (result >= 0) {
      *got = static_cast<size_t>(result);
      return 0;
    }
    if (errno != EINTR) {
      *got = 0;
      return errno;
    }
  }
}

// Writes all `n` bytes or fails.
int WriteAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t written = ::write(fd, p, n);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += written;
    n -= static_cast<size_t>(written);
  }
  return 0;
}

class PosixReadableFile final : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : fd_(fd) {}
  ~PosixReadableFile() override { CloseDescriptor(fd_); }

  int Read(void* buffer, size_t n, size_t* got) override { return ReadSome(fd_, buffer, n, got); }

  int Size(uint64_t* size) override {
    struct stat status;
    if (::fstat(fd_, &status) != 0) return errno;
    *size = static_cast<uint64_t>(status.st_size);
    return 0;
  }

 private:
  int fd_;
};

class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override { CloseDescriptor(fd_); }

  int Append(const void* data, size_t n) override {
    return fd_ < 0 ? EBADF : WriteAll(fd_, data, n);
  }

  int Sync() override {
    if (fd_ < 0) return EBADF;
    return ::fsync(fd_) == 0 ? 0 : errno;
  }

  int Close() override { return CloseDescriptor(fd_); }

 private:
  int fd_;
};

int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  // Some file systems cannot sync a folder; the rename itself has happened.
  const int result = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return result;
}

class PosixFileStream final : public FileStream {
 public:
  explicit PosixFileStream(int fd) : fd_(fd) {}
  ~PosixFileStream() override { CloseDescriptor(fd_); }

  int Read(void* buffer, size_t n, size_t* got) override { return ReadSome(fd_, buffer, n, got); }

  int Write(const void* data, size_t n) override { return WriteAll(fd_, data, n); }

  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    const int whence = origin == kFromStart ? SEEK_SET : origin == kFromCurrent ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, offset, whence);
    if (result < 0) return errno;
    if (position) *position = static_cast<uint64_t>(result);
    return 0;
  }

  int SetSize(uint64_t size) override {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
  }

  int Status(FileStatus* status) override {
    struct stat info;
    if (::fstat(fd_, &info) != 0) return errno;
    status->size = static_cast<uint64_t>(info.st_size);
    status->mode = info.st_mode & 07777;
    status->modifiedSeconds = info.st_mtim.tv_sec;
    status->modifiedNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
    return 0;
  }

  int Sync() override { return ::fsync(fd_) == 0 ? 0 : errno; }
  int Close() override { return CloseDescriptor(fd_); }

 private:
  int fd_;
};

// Fills `entry` from the status of `name` inside the open folder `dirFd`, whose
// device is `folderDevice`.
int DescribeEntry(int dirFd, const char* name, dev_t folderDevice, DirectoryEntry* entry) {
  struct statx status;
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME,
              &status) != 0) {
    return errno;
  }
  const mode_t mode = status.stx_mode;
  uint32_t attributes = kAttributeArchive | kAttributeUnixExtension | ((mode & 0xFFFF) << 16);
  if (name[0] == '.') attributes |= kAttributeHidden;
  if (!(mode & S_IWUSR)) attributes |= kAttributeReadOnly;
  if (S_ISDIR(mode)) {
    attributes |= kAttributeDirectory;
    if (::makedev(status.stx_dev_major, status.stx_dev_minor) != folderDevice) {
      attributes |= kAttributeReparsePoint;
      entry->reparseTag = kReparseTagMountPoint;
    }
  } else if (S_ISLNK(mode)) {
    attributes |= kAttributeReparsePoint;
    entry->reparseTag = kReparseTagSymlink;
    // Only to tell a link to a folder from a link to a file; never followed.
    struct stat target;
    if (::fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
      attributes |= kAttributeDirectory;
    }
  } else if (!S_ISREG(mode)) {
    attributes |= kAttributeDevice;
  }
  entry->attributes = attributes;
  entry->size = S_ISREG(mode) ? status.stx_size : 0;
  entry->lastWriteTime = FileTimeFromUnix(status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec);
  entry->lastAccessTime = FileTimeFromUnix(status.stx_atime.tv_sec, status.stx_atime.tv_nsec);
  entry->creationTime = (status.stx_mask & STATX_BTIME)
                            ? FileTimeFromUnix(status.stx_btime.tv_sec, status.stx_btime.tv_nsec)
                            : entry->lastWriteTime;
  return 0;
}

class PosixFileSystem final : public FileSystem {
 public:
  int OpenForReading(const std::wstring& path, std::unique_ptr<ReadableFile>* file) override {
    const int fd = ::open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    *file = std::make_unique<PosixReadableFile>(fd);
    return 0;
  }

  int CreateForWriting(const std::wstring& path, std::unique_ptr<WritableFile>* file) override {
    const int fd =
        ::open(ToNative(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    *file = std::make_unique<PosixWritableFile>(fd);
    return 0;
  }

  int OpenStream(const std::wstring& path, FileStream::Mode mode,
                 std::unique_ptr<FileStream>* stream) override {
    const std::string native = ToNative(path);
    if (mode == FileStream::kCreate) {
      const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) return errno;
      *stream = std::make_unique<PosixFileStream>(fd);
      return 0;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info;
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode)) error = EINVAL;
    if (error != 0) {
      ::close(fd);
      return error;
    }
    // Back to blocking reads; O_NONBLOCK only kept the open from hanging on a FIFO.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *stream = std::make_unique<PosixFileStream>(fd);
    return 0;
  }

  bool Exists(const std::wstring& path) override {
    struct stat status;
    return ::lstat(ToNative(path).c_str(), &status) == 0;
  }

  int SizeOf(const std::wstring& path, uint64_t* size) override {
    struct stat status;
    if (::stat(ToNative(path).c_str(), &status) != 0) return errno;
    *size = static_cast<uint64_t>(status.st_size);
    return 0;
  }

  int Remove(const std::wstring& path) override {
    return ::unlink(ToNative(path).c_str()) == 0 ? 0 : errno;
  }

  int ClearReadOnly(const std::wstring& path) override {
    const std::string native = ToNative(path);
    struct stat status;
    if (::lstat(native.c_str(), &status) != 0) return errno;
    if (S_ISLNK(status.st_mode) || (status.st_mode & S_IWUSR)) return 0;
    return ::chmod(native.c_str(), (status.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno;
  }

  int Replace(const std::wstring& source, const std::wstring& target) override {
    const std::string nativeTarget = ToNative(target);
    if (::rename(ToNative(source).c_str(), nativeTarget.c_str()) != 0) return errno;
    const size_t slash = nativeTarget.rfind('/');
    return SyncFolder(slash == std::string::npos ? std::string() : nativeTarget.substr(0, slash + 1));
  }

  int CreateFolders(const std::wstring& path) override {
    const std::string native = ToNative(path);
    if (native.empty()) return ENOENT;
    // Create each prefix that ends before a separator, then the whole path.
    for (size_t end = native.find('/', 1);; end = native.find('/', end + 1)) {
      const std::string prefix = native.substr(0, end);
      if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return errno;
      if (end == std::string::npos) break;
    }
    struct stat status;
    if (::stat(native.c_str(), &status) != 0) return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
  }

  int ReadDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries) override {
    entries->clear();
    const std::string native = ToNative(path);
    if (native.empty()) return ENOENT;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat folder;
    if (::fstat(fd, &folder) != 0) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    int error = 0;
    for (;;) {
      errno = 0;
      const dirent* item = ::readdir(dir);
      if (!item) {
        error = errno;
        break;
      }
      const char* name = item->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      DirectoryEntry entry;
      if (const int failed = DescribeEntry(fd, name, folder.st_dev, &entry); failed != 0) {
        // An entry removed since readdir listed it is simply not there any more.
        if (failed == ENOENT) continue;
        error = failed;
        break;
      }
      entry.name = FromNative(name);
      entries->push_back(std::move(entry));
    }
    ::closedir(dir);
    return error;
  }

  int CopyFile(const std::wstring& source, const std::wstring& target) override {
    return CopyRegularFile(ToNative(source), ToNative(target));
  }

  int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override {
    *bytes = 0;
    std::string native = ToNative(path);
    if (native.empty()) native = ".";
    for (;;) {
      struct statvfs status;
      if (::statvfs(native.c_str(), &status) == 0) {
        *bytes = static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
        if (queried) *queried = FromNative(native);
        return 0;
      }
      if ((errno != ENOENT && errno != ENOTDIR) || native == "/" || native == ".") {
        if (queried) *queried = FromNative(native);
        return errno;
      }
      // Walk up to the nearest folder that exists: the target is made later.
      while (native.size() > 1 && native.back() == '/') native.pop_back();
      const size_t slash = native.rfind('/');
      if (slash == std::string::npos) {
        native = ".";
      } else {
        native.resize(slash == 0 ? 1 : slash);
      }
    }
  }

  bool IsSameFile(const std::wstring& a, const std::wstring& b) override {
    struct stat first, second;
    return ::stat(ToNative(a.empty() ? L"." : a).c_str(), &first) == 0 &&
           ::stat(ToNative(b.empty() ? L"." : b).c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace kelvane::platform
