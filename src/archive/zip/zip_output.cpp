#include "archive/zip/zip_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvane {
namespace {

constexpr size_t kBufferSize = 1 << 20;

ZipOutput* Self(voidpf stream) { return static_cast<ZipOutput*>(stream); }

}  // namespace

ZipOutput::ZipOutput(std::unique_ptr<platform::FileStream> stream) : stream_(std::move(stream)) {
  buffer_.reserve(kBufferSize);
}

zlib_filefunc64_def ZipOutput::Callbacks() {
  zlib_filefunc64_def table{};
  table.zopen64_file = Open;
  table.zread_file = Read;
  table.zwrite_file = Write;
  table.ztell64_file = Tell;
  table.zseek64_file = Seek;
  table.zclose_file = Close;
  table.zerror_file = Error;
  table.opaque = nullptr;
  return table;
}

voidpf ZipOutput::Open(voidpf, const void* name, int mode) {
  // minizip hands over the "file name" given to zipOpen2_64 unchanged: it is us.
  auto* self = const_cast<ZipOutput*>(static_cast<const ZipOutput*>(name));
  if (!(mode & ZLIB_FILEFUNC_MODE_CREATE) || !self->stream_) {
    self->Fail(EINVAL);
    return nullptr;
  }
  self->position_ = 0;
  return self;
}

bool ZipOutput::Flush() {
  if (buffer_.empty()) return error_ == 0;
  if (error_ == 0) {
    if (const int error = stream_->Write(buffer_.data(), buffer_.size()); error != 0) Fail(error);
  }
  const uint64_t end = position_ + buffer_.size();
  position_ += cursor_;
  if (error_ == 0 && position_ != end) {
    Fail(stream_->Seek(static_cast<int64_t>(position_), platform::FileStream::kFromStart, nullptr));
  }
  buffer_.clear();
  cursor_ = 0;
  return error_ == 0;
}

uLong ZipOutput::Read(voidpf, voidpf stream, void* buffer, uLong size) {
  ZipOutput* self = Self(stream);
  if (!self->Flush()) return 0;
  size_t got = 0;
  if (const int error = self->stream_->Read(buffer, size, &got); error != 0) self->Fail(error);
  self->position_ += got;
  return got;
}

uLong ZipOutput::Write(voidpf, voidpf stream, const void* data, uLong size) {
  ZipOutput* self = Self(stream);
  if (self->error_ != 0) return 0;
  if (self->cursor_ + size > kBufferSize && !self->Flush()) return 0;
  if (size >= kBufferSize) {
    if (const int error = self->stream_->Write(data, size); error != 0) {
      self->Fail(error);
      return 0;
    }
    self->position_ += size;
    return size;
  }
  const char* bytes = static_cast<const char*>(data);
  const size_t over = std::min<size_t>(size, self->buffer_.size() - self->cursor_);
  std::memcpy(self->buffer_.data() + self->cursor_, bytes, over);
  self->buffer_.insert(self->buffer_.end(), bytes + over, bytes + size);
  self->cursor_ += size;
  return size;
}

ZPOS64_T ZipOutput::Tell(voidpf, voidpf stream) {
  ZipOutput* self = Self(stream);
  return self->position_ + self->cursor_;
}

long ZipOutput::Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  ZipOutput* self = Self(stream);
  if (origin != ZLIB_FILEFUNC_SEEK_END) {
    const uint64_t target =
        origin == ZLIB_FILEFUNC_SEEK_CUR ? self->position_ + self->cursor_ + offset : offset;
    if (target >= self->position_ && target <= self->position_ + self->buffer_.size()) {
      self->cursor_ = static_cast<size_t>(target - self->position_);
      return 0;
    }
  }
  if (!self->Flush()) return -1;
  platform::FileStream::Origin from = platform::FileStream::kFromStart;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) from = platform::FileStream::kFromCurrent;
  if (origin == ZLIB_FILEFUNC_SEEK_END) from = platform::FileStream::kFromEnd;
  uint64_t position = 0;
  if (const int error = self->stream_->Seek(static_cast<int64_t>(offset), from, &position);
      error != 0) {
    self->Fail(error);
    return -1;
  }
  self->position_ = position;
  return 0;
}

int ZipOutput::Close(voidpf, voidpf stream) {
  // The file stays open for the repairs after zipClose; only the buffer goes out.
  return Self(stream)->Flush() ? 0 : -1;
}

int ZipOutput::Error(voidpf, voidpf stream) { return Self(stream)->error_; }

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
