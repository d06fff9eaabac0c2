// A file written sequentially through one large heap buffer, so that many small
// writes (log lines, printed JSON) become few large system writes.
//
// The buffer is taken on the first write: 1 MiB, or 128 KiB, 10 KiB or 1 KiB
// when the larger cannot be had; without any buffer every write goes straight
// to the file. Nothing reaches the file before the buffer is full, Flush() or
// Close(), so the file on disk lags behind until then.
//
// The first failed system call is remembered (error()) and returned by Close(),
// so a caller that must not trust a partial file (an atomic save) can tell.
// No lock of its own: a writer shared between threads is guarded by its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kelvane {

class BufferedFile {
 public:
  // Returns a buffer of the given size, or null when it cannot be had.
  using Allocator = std::function<std::unique_ptr<char[]>(size_t)>;

  BufferedFile();
  explicit BufferedFile(Allocator allocator);
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  // Creates the file anew (platform::FileSystem::OpenStream, kCreate).
  // Returns 0 or the errno value; on failure the writer stays closed.
  int Create(const std::wstring& path);
  // Writes into `file`, made by the caller, from now on.
  void Open(std::unique_ptr<platform::FileStream> file);
  bool IsOpen() const { return file_ != nullptr; }

  // Appends `n` bytes. Writing to a closed writer does nothing.
  void Write(const void* data, size_t n);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

  // Writes the buffer to the file. Returns error().
  int Flush();
  // Flushes and forces the file's data to the storage device. Returns error().
  int Sync();
  // Flushes and closes; the writer can be created again afterwards. Returns the
  // first error of the file's life (0 if none). Closing a closed writer is 0.
  int Close();

  int error() const { return error_; }
  size_t capacity() const { return capacity_; }

 private:
  void TakeBuffer();
  void WriteThrough(const void* data, size_t n);

  Allocator allocator_;
  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<platform::FileStream> file_;
  size_t bytesInBuffer_ = 0;
  size_t capacity_ = 0;
  bool noBuffer_ = false;
  int error_ = 0;
};

}  // namespace kelvane
