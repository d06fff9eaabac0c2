// An open file of the real file system, by its descriptor.
#pragma once

#include <sys/stat.h>

#include "platform/file_system.h"

namespace kelvane::platform {

// Takes `fd` over: closes it when it goes.
class PosixFileStream final : public FileStream {
 public:
  explicit PosixFileStream(int fd) : fd_(fd) {}
  // `opened` is the file's status, taken as it was opened: the first
  // Status() gives it instead of asking again (a million small files are a
  // million system calls fewer).
  PosixFileStream(int fd, const struct stat& opened) : fd_(fd), opened_(opened), hasOpened_(true) {}
  ~PosixFileStream() override;

  int Read(void* buffer, size_t n, size_t* got) override;
  int Write(const void* data, size_t n) override;
  int Seek(int64_t offset, Origin origin, uint64_t* position) override;
  int SetSize(uint64_t size) override;
  int Status(FileStatus* status) override;
  int Sync() override;
  int Close() override;
  int ReadAttributes(ExtendedAttributes* attributes) override;
  int GiveStatus(const RestoredStatus& status) override;

 private:
  // Asks the kernel to start writing out what this stream has written so far,
  // without waiting for it: see Write.
  void StartWriteBack();

  int fd_;
  struct stat opened_ {};
  bool hasOpened_ = false;
  size_t unsent_ = 0;  // bytes written since writing out was last started
};

}  // namespace kelvane::platform
