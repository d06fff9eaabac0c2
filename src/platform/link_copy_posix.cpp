#include "platform/link_copy_posix.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix_io.h"
#include "platform/system_error.h"

namespace kelvane::platform {
namespace {

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(::crc32(::crc32(0, nullptr, 0),
                                       reinterpret_cast<const Bytef*>(bytes.data()),
                                       static_cast<uInt>(bytes.size())));
}

class LinkStream final : public FileStream {
 public:
  // A link's size is its target's length, as lstat gives it.
  LinkStream(std::string target, const struct stat& status)
      : target_(std::move(target)), status_(StatusOf(status)) {}

  int Read(void* buffer, size_t n, size_t* got) override {
    *got = std::min(n, target_.size() - position_);
    std::memcpy(buffer, target_.data() + position_, *got);
    position_ += *got;
    return 0;
  }
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    const int64_t base = origin == kFromStart     ? 0
                         : origin == kFromCurrent ? static_cast<int64_t>(position_)
                                                  : static_cast<int64_t>(target_.size());
    if (base + offset < 0) return EINVAL;
    position_ = std::min(static_cast<size_t>(base + offset), target_.size());
    if (position) *position = position_;
    return 0;
  }
  int SetSize(uint64_t) override { return EBADF; }
  int Status(FileStatus* status) override { return *status = status_, 0; }
  int Sync() override { return 0; }
  int Close() override { return 0; }

 private:
  const std::string target_;
  const FileStatus status_;
  size_t position_ = 0;
};

}  // namespace

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
  return std::make_unique<LinkStream>(std::move(target), status);
}

int CopyScannedLink(int sourceDir, const std::string& name, const FileId& expected, int targetDir,
                    const std::string& targetName, int workDir, uint32_t* checksum) {
  std::string target;
  struct stat status;
  if (const int error = ReadScannedLink(sourceDir, name, expected, &target, &status); error != 0) {
    return error;
  }
  std::string temporary;
  if (const int error = CreateTemporaryLinkAt(workDir, target, &temporary); error != 0) {
    return error;
  }
  // Root keeps the owner, as cp -a does; another user keeps their own.
  (void)::fchownat(workDir, temporary.c_str(), status.st_uid, status.st_gid, AT_SYMLINK_NOFOLLOW);
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  int error = ::utimensat(workDir, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
  if (error == 0 && ::renameat(workDir, temporary.c_str(), targetDir, targetName.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(workDir, temporary.c_str(), 0);
    return error;
  }
  if (checksum) *checksum = Crc(target);
  return 0;
}

int ReadBackLink(int dirFd, const std::string& name, uint32_t* checksum) {
  std::string target;
  if (const int error = ReadLinkAt(dirFd, name.c_str(), &target); error != 0) return error;
  if (checksum) *checksum = Crc(target);
  return 0;
}

}  // namespace kelvane::platform
