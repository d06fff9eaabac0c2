#include "platform/memory_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvane::platform {
namespace {

class MemoryStream final : public FileStream {
 public:
  MemoryStream(std::string bytes, const FileStatus& status, ExtendedAttributes attributes)
      : bytes_(std::move(bytes)), status_(status), attributes_(std::move(attributes)) {
    status_.size = bytes_.size();
  }

  int Read(void* buffer, size_t n, size_t* got) override {
    *got = std::min(n, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, *got);
    position_ += *got;
    return 0;
  }
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    const int64_t base = origin == kFromStart     ? 0
                         : origin == kFromCurrent ? static_cast<int64_t>(position_)
                                                  : static_cast<int64_t>(bytes_.size());
    if (base + offset < 0) return EINVAL;
    position_ = std::min(static_cast<size_t>(base + offset), bytes_.size());
    if (position) *position = position_;
    return 0;
  }
  int SetSize(uint64_t) override { return EBADF; }
  int Status(FileStatus* status) override { return *status = status_, 0; }
  int Sync() override { return 0; }
  int Close() override { return 0; }
  int ReadAttributes(ExtendedAttributes* attributes) override {
    *attributes = attributes_;
    return 0;
  }

 private:
  const std::string bytes_;
  FileStatus status_;
  const ExtendedAttributes attributes_;
  size_t position_ = 0;
};

}  // namespace

std::unique_ptr<FileStream> MakeMemoryStream(std::string bytes, FileStatus status,
                                             ExtendedAttributes attributes) {
  return std::make_unique<MemoryStream>(std::move(bytes), status, std::move(attributes));
}

}  // namespace kelvane::platform
