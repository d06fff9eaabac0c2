// The archive file under minizip: its file callbacks over a FileStream of the
// platform layer, made by the caller, with a write buffer, because minizip
// writes each header as a dozen 2- and 4-byte writes, and seeks back to each
// entry's local header to put in its CRC and sizes: a seek within the buffer
// moves in the buffer, so a small entry costs no system call of its own.
//
// minizip's close does not close the file: the writer mends the end of the
// archive afterwards (zip_end_repair.h) on the same stream, then Finish()
// syncs and closes it. The first failure is kept in error().
#pragma once

#include <minizip/ioapi.h>

#include <memory>
#include <vector>

#include "platform/file_system.h"

namespace kelvane {

class ZipOutput {
 public:
  explicit ZipOutput(std::unique_ptr<platform::FileStream> stream);

  // The callback table for zipOpen2_64; pass this object as its pathname.
  zlib_filefunc64_def Callbacks();

  // The open stream (after minizip's open), for the repairs after zipClose.
  platform::FileStream* stream() { return stream_.get(); }

  // Writes what is buffered, syncs and closes. Returns error().
  int Finish();

  // Writes `n` bytes at the current position, as minizip's own writes go:
  // for what follows an entry's data that minizip does not write itself.
  bool Append(const void* data, size_t n) { return Write(nullptr, this, data, n) == n; }

  int error() const { return error_; }
  void Fail(int error) {
    if (error_ == 0) error_ = error;
  }

 private:
  static voidpf Open(voidpf opaque, const void* name, int mode);
  static uLong Read(voidpf opaque, voidpf stream, void* buffer, uLong size);
  static uLong Write(voidpf opaque, voidpf stream, const void* buffer, uLong size);
  static ZPOS64_T Tell(voidpf opaque, voidpf stream);
  static long Seek(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
  static int Close(voidpf opaque, voidpf stream);
  static int Error(voidpf opaque, voidpf stream);

  bool Flush();

  std::unique_ptr<platform::FileStream> stream_;
  std::vector<char> buffer_;
  size_t cursor_ = 0;      // where in the buffer the next write goes
  uint64_t position_ = 0;  // of the stream, before the buffered bytes
  int error_ = 0;
};

}  // namespace kelvane
