#include "platform/file_stream_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_io.h"
#include "platform/restore_posix.h"

namespace kelvane::platform {

namespace {
constexpr size_t kWriteBackEvery = size_t{8} << 20;
}  // namespace

PosixFileStream::~PosixFileStream() { CloseDescriptor(fd_); }

int PosixFileStream::Read(void* buffer, size_t n, size_t* got) {
  return ReadSome(fd_, buffer, n, got);
}

// An archive is synced before it takes its name. Left to itself, the kernel
// holds a few hundred megabytes of it in memory until that sync, which then
// waits for all of it while nothing else is done; started every few
// megabytes, the writing out runs beside the compression instead.
int PosixFileStream::Write(const void* data, size_t n) {
  const int error = WriteAll(fd_, data, n);
  unsent_ += n;
  if (unsent_ >= kWriteBackEvery) StartWriteBack();
  return error;
}

void PosixFileStream::StartWriteBack() {
  unsent_ = 0;
#ifdef SYNC_FILE_RANGE_WRITE
  // Only a hint: the sync that follows reports every error that matters.
  (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

int PosixFileStream::Seek(int64_t offset, Origin origin, uint64_t* position) {
  const int whence = origin == kFromStart ? SEEK_SET : origin == kFromCurrent ? SEEK_CUR : SEEK_END;
  const off_t result = ::lseek(fd_, offset, whence);
  if (result < 0) return errno;
  if (position) *position = static_cast<uint64_t>(result);
  return 0;
}

int PosixFileStream::SetSize(uint64_t size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int PosixFileStream::Status(FileStatus* status) {
  if (hasOpened_) {
    hasOpened_ = false;
    *status = StatusOf(opened_);
    return 0;
  }
  struct stat info;
  if (::fstat(fd_, &info) != 0) return errno;
  *status = StatusOf(info);
  return 0;
}

int PosixFileStream::Sync() { return ::fsync(fd_) == 0 ? 0 : errno; }

int PosixFileStream::Close() { return CloseDescriptor(fd_); }

int PosixFileStream::ReadAttributes(ExtendedAttributes* attributes) {
  return ReadExtendedAttributes(fd_, attributes);
}

int PosixFileStream::GiveStatus(const RestoredStatus& status) { return GiveStatusTo(fd_, status); }

}  // namespace kelvane::platform
