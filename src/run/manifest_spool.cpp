#include "run/manifest_spool.h"

#include <cerrno>
#include <vector>

#include "manifest/manifest_line.h"

namespace kelvane {
namespace {

constexpr size_t kChunk = 1 << 20;  // written or copied at once

// The spool's file for a reader that owns its stream; the file stays the
// spool's, and only reads.
class BorrowedStream final : public platform::FileStream {
 public:
  explicit BorrowedStream(platform::FileStream& file) : file_(file) {}
  int Read(void* buffer, size_t n, size_t* got) override { return file_.Read(buffer, n, got); }
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    return file_.Seek(offset, origin, position);
  }
  int SetSize(uint64_t) override { return EBADF; }
  int Status(platform::FileStatus* status) override { return file_.Status(status); }
  int Sync() override { return 0; }
  int Close() override { return 0; }

 private:
  platform::FileStream& file_;
};

}  // namespace

ManifestSpool::ManifestSpool(const platform::Folder& archiveFolder, std::wstring targetName)
    : folder_(archiveFolder), targetName_(std::move(targetName)) {}

ManifestSpool::~ManifestSpool() {
  if (name_.empty()) return;
  file_.reset();
  static_cast<void>(platform::Fs().RemoveFile(folder_, name_));
}

platform::Status ManifestSpool::Begin() {
  return platform::Fs().CreateTemporary(folder_, L"." + targetName_ + kManifestSuffix, &name_,
                                        &file_);
}

platform::Status ManifestSpool::Append(std::string_view text) {
  pending_.append(text);
  return pending_.size() >= kChunk ? Flush() : platform::Status();
}

platform::Status ManifestSpool::Flush() {
  if (!file_) return platform::Status::Error(EBADF, folder_.path() + name_);
  hash_.Add(pending_.data(), pending_.size());
  size_ += pending_.size();
  const int error = file_->Write(pending_.data(), pending_.size());
  pending_.clear();
  return error != 0 ? platform::Status::Error(error, folder_.path() + name_) : platform::Status();
}

platform::Status ManifestSpool::Finish() {
  platform::Status flushed = Flush();
  digest_ = hash_.Finish();
  return flushed;
}

std::unique_ptr<platform::FileStream> ManifestSpool::Read() {
  if (!file_ || file_->Seek(0, platform::FileStream::kFromStart, nullptr) != 0) return nullptr;
  return std::make_unique<BorrowedStream>(*file_);
}

platform::Status ManifestSpool::CopyTo(const platform::Folder& folder, const std::wstring& name,
                                       std::string_view firstLine) {
  platform::FileSystem& fs = platform::Fs();
  std::unique_ptr<platform::FileStream> source = Read();
  if (!source) return platform::Status::Error(EBADF, folder_.path() + name_);
  std::wstring temporary;
  std::unique_ptr<platform::FileStream> copy;
  if (platform::Status made = fs.CreateTemporary(folder, L"." + name, &temporary, &copy);
      !made.ok()) {
    return made;
  }
  int error = copy->Write(firstLine.data(), firstLine.size());
  bool skipping = !firstLine.empty();  // the spool's own first line
  std::vector<uint8_t> chunk(kChunk);
  while (error == 0) {
    size_t got = 0;
    error = source->Read(chunk.data(), chunk.size(), &got);
    if (error != 0 || got == 0) break;
    size_t from = 0;
    if (skipping) {
      while (from < got && chunk[from] != '\n') ++from;
      skipping = from == got;
      from += skipping ? 0 : 1;
    }
    error = copy->Write(chunk.data() + from, got - from);
  }
  if (error == 0) error = copy->Sync();
  if (const int closed = copy->Close(); error == 0) error = closed;
  platform::Status written = error != 0 ? platform::Status::Error(error, folder.path() + temporary)
                                        : fs.Rename(folder, temporary, folder, name);
  if (!written.ok()) static_cast<void>(fs.RemoveFile(folder, temporary));
  return written;
}

platform::Status ManifestSpool::SaveBeside(std::string_view firstLine) {
  const std::wstring name = targetName_ + kManifestSuffix;
  if (!firstLine.empty()) return CopyTo(folder_, name, firstLine);
  if (!file_) return platform::Status::Error(EBADF, folder_.path() + name_);
  if (const int error = file_->Sync(); error != 0) {
    return platform::Status::Error(error, folder_.path() + name_);
  }
  platform::Status renamed = platform::Fs().Rename(folder_, name_, folder_, name);
  if (renamed.ok()) name_.clear();
  return renamed;
}

}  // namespace kelvane
