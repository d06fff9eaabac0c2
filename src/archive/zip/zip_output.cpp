#include "archive/zip/zip_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvane {
namespace {

constexpr size_t kBufferSize = 1 << 20;

}  // namespace

ZipOutput::ZipOutput(std::unique_ptr<platform::FileStream> stream) : stream_(std::move(stream)) {
  if (!stream_) Fail(EBADF);
  buffer_.reserve(kBufferSize);
}

bool ZipOutput::Flush() {
  if (error_ == 0 && !buffer_.empty()) Fail(stream_->Write(buffer_.data(), buffer_.size()));
  written_ += buffer_.size();
  buffer_.clear();
  return error_ == 0;
}

bool ZipOutput::Append(const void* data, size_t n) {
  if (error_ != 0) return false;
  if (buffer_.size() + n > kBufferSize && !Flush()) return false;
  if (n >= kBufferSize) {
    Fail(stream_->Write(data, n));
    written_ += n;
    return error_ == 0;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + n);
  return true;
}

bool ZipOutput::Patch(uint64_t offset, const void* data, size_t n) {
  if (error_ != 0) return false;
  if (offset + n > position()) {
    Fail(EINVAL);
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  // What lies in the file already is written there, then the file offset
  // goes back to its end; the rest is in the buffer.
  if (offset < written_) {
    const size_t inFile = static_cast<size_t>(std::min<uint64_t>(n, written_ - offset));
    Fail(stream_->Seek(static_cast<int64_t>(offset), platform::FileStream::kFromStart, nullptr));
    if (error_ == 0) Fail(stream_->Write(bytes, inFile));
    if (error_ == 0) {
      Fail(
          stream_->Seek(static_cast<int64_t>(written_), platform::FileStream::kFromStart, nullptr));
    }
    bytes += inFile;
    offset += inFile;
    n -= inFile;
  }
  if (n > 0) std::memcpy(buffer_.data() + (offset - written_), bytes, n);
  return error_ == 0;
}

int ZipOutput::Finish() {
  if (!stream_) return error_;
  Flush();
  if (error_ == 0) Fail(stream_->Sync());
  const int closed = stream_->Close();
  if (error_ == 0) Fail(closed);
  stream_.reset();
  return error_;
}

}  // namespace kelvane
