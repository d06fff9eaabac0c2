// The archive file as the ZIP writer fills it: bytes appended in order through
// a buffer (a small entry's headers and data cost no system call of their
// own), and earlier bytes patched in place (each entry's CRC and sizes go
// into its local header once its data is written: a patch within the
// buffer moves no file offset).
//
// The first failure is kept in error(); everything after it is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/file_system.h"

namespace kelvane {

class ZipOutput {
 public:
  explicit ZipOutput(std::unique_ptr<platform::FileStream> stream);

  // Where the next appended byte goes.
  uint64_t position() const { return written_ + buffer_.size(); }

  bool Append(const void* data, size_t n);
  // Overwrites `n` bytes from `offset`, all of them appended before.
  bool Patch(uint64_t offset, const void* data, size_t n);

  // Writes what is buffered, syncs and closes. Returns error().
  int Finish();

  int error() const { return error_; }
  void Fail(int error) {
    if (error_ == 0) error_ = error;
  }

 private:
  bool Flush();

  std::unique_ptr<platform::FileStream> stream_;
  std::vector<uint8_t> buffer_;
  uint64_t written_ = 0;  // bytes in the file, before the buffered ones
  int error_ = 0;
};

}  // namespace kelvane
