#include "archive/zip/zip_central_directory.h"

#include <cerrno>

namespace kelvane {
namespace {

constexpr size_t kChunk = 1 << 20;  // spilled or copied at once

}  // namespace

ZipCentralDirectory::ZipCentralDirectory(std::unique_ptr<platform::FileStream> spool)
    : spool_(std::move(spool)) {
  pending_.reserve(kChunk);
}

int ZipCentralDirectory::Add(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                             uint64_t localOffset) {
  AppendCentralRecord(header, sizes, localOffset, &pending_);
  ++entries_;
  return pending_.size() >= kChunk ? Spill() : 0;
}

int ZipCentralDirectory::Spill() {
  if (!spool_) return EBADF;
  const int error = spool_->Write(pending_.data(), pending_.size());
  spooled_ += pending_.size();
  pending_.clear();
  return error;
}

int ZipCentralDirectory::WriteTo(ZipOutput& output) {
  const uint64_t offset = output.position();
  if (spooled_ > 0) {
    if (const int error = spool_->Seek(0, platform::FileStream::kFromStart, nullptr); error != 0) {
      return error;
    }
    std::vector<uint8_t> chunk(kChunk);
    for (uint64_t copied = 0; copied < spooled_;) {
      size_t got = 0;
      if (const int error = spool_->Read(chunk.data(), chunk.size(), &got); error != 0) {
        return error;
      }
      if (got == 0) return EIO;  // the spool lost what was written to it
      if (!output.Append(chunk.data(), got)) return output.error();
      copied += got;
    }
  }
  if (!output.Append(pending_.data(), pending_.size())) return output.error();
  std::vector<uint8_t> end;
  AppendEndRecords(entries_, offset, output.position() - offset, &end);
  return output.Append(end.data(), end.size()) ? 0 : output.error();
}

}  // namespace kelvane
