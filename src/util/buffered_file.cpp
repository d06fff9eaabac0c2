#include "util/buffered_file.h"

#include <cstring>
#include <new>

namespace kelvane {
namespace {

constexpr size_t kCapacities[] = {1048576, 131072, 10240, 1024};

std::unique_ptr<char[]> HeapBuffer(size_t size) {
  return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

}  // namespace

BufferedFile::BufferedFile() : BufferedFile(HeapBuffer) {}

BufferedFile::BufferedFile(Allocator allocator) : allocator_(std::move(allocator)) {}

BufferedFile::~BufferedFile() { Close(); }

int BufferedFile::Create(const std::wstring& path) {
  Close();
  error_ = 0;
  return platform::Fs().OpenStream(path, platform::FileStream::kCreate, &file_).code();
}

void BufferedFile::Open(std::unique_ptr<platform::FileStream> file) {
  Close();
  error_ = 0;
  file_ = std::move(file);
}

void BufferedFile::TakeBuffer() {
  for (size_t size : kCapacities) {
    buffer_ = allocator_(size);
    if (buffer_) {
      capacity_ = size;
      return;
    }
  }
  noBuffer_ = true;
}

void BufferedFile::WriteThrough(const void* data, size_t n) {
  const int result = file_->Write(data, n);
  if (result != 0 && error_ == 0) error_ = result;
}

void BufferedFile::Write(const void* data, size_t n) {
  if (!file_ || n == 0) return;
  if (!buffer_ && !noBuffer_) TakeBuffer();
  if (bytesInBuffer_ + n > capacity_) Flush();
  if (n > capacity_) {
    WriteThrough(data, n);
    return;
  }
  std::memcpy(buffer_.get() + bytesInBuffer_, data, n);
  bytesInBuffer_ += n;
}

int BufferedFile::Flush() {
  if (file_ && bytesInBuffer_ > 0) {
    WriteThrough(buffer_.get(), bytesInBuffer_);
    bytesInBuffer_ = 0;
  }
  return error_;
}

int BufferedFile::Sync() {
  Flush();
  if (file_ && error_ == 0) error_ = file_->Sync();
  return error_;
}

int BufferedFile::Close() {
  if (!file_) return 0;
  Flush();
  const int closed = file_->Close();
  if (error_ == 0) error_ = closed;
  file_.reset();
  buffer_.reset();
  bytesInBuffer_ = 0;
  capacity_ = 0;
  noBuffer_ = false;
  return error_;
}

}  // namespace kelvane
