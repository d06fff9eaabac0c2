#include "archive/zip/zip_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archive/zip/zip_records.h"

namespace kelvane {
namespace {

using namespace zip_records;
constexpr uint32_t kFull32 = 0xFFFFFFFF;
constexpr uint16_t kFull16 = 0xFFFF;
constexpr size_t kMaxComment = 0xFFFF;

// Little-endian fields from a buffer, in order.
class Fields {
 public:
  Fields(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
  uint64_t U64() { return Take(8); }
  void Skip(size_t n) { at_ = std::min(size_, at_ + n); }
  bool ok() const { return ok_; }
  size_t at() const { return at_; }

 private:
  uint64_t Take(size_t n) {
    if (at_ + n > size_) {
      ok_ = false;
      at_ = size_;
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= static_cast<uint64_t>(data_[at_ + i]) << (8 * i);
    at_ += n;
    return value;
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

// Applies a ZIP64 extra field: each value the fixed field holds as all ones
// comes from it, in the order the format gives.
bool ApplyZip64(const std::string& extra, uint64_t* uncompressed, uint64_t* compressed,
                uint64_t* offset) {
  Fields fields(reinterpret_cast<const uint8_t*>(extra.data()), extra.size());
  while (fields.at() + 4 <= extra.size()) {
    const uint16_t id = fields.U16();
    const uint16_t size = fields.U16();
    if (id != kZip64ExtraField) {
      fields.Skip(size);
      continue;
    }
    Fields zip64(reinterpret_cast<const uint8_t*>(extra.data()) + fields.at(),
                 std::min<size_t>(size, extra.size() - fields.at()));
    if (*uncompressed == kFull32) *uncompressed = zip64.U64();
    if (*compressed == kFull32) *compressed = zip64.U64();
    if (offset && *offset == kFull32) *offset = zip64.U64();
    return zip64.ok();
  }
  return *uncompressed != kFull32 && *compressed != kFull32 && (!offset || *offset != kFull32);
}

bool HasZip64(const std::string& extra) {
  Fields fields(reinterpret_cast<const uint8_t*>(extra.data()), extra.size());
  while (fields.at() + 4 <= extra.size()) {
    if (fields.U16() == kZip64ExtraField) return true;
    fields.Skip(fields.U16());
  }
  return false;
}

platform::Status Damaged(const wchar_t* what) { return platform::Status::Error(EINVAL, what); }

}  // namespace

ZipReader::ZipReader(platform::FileStream& stream) : stream_(stream), window_(1 << 20) {}

int ZipReader::Fill(uint64_t offset) {
  uint64_t at = 0;
  if (const int error =
          stream_.Seek(static_cast<int64_t>(offset), platform::FileStream::kFromStart, &at);
      error != 0) {
    return error;
  }
  windowStart_ = offset;
  windowSize_ = 0;
  while (windowSize_ < window_.size()) {
    size_t got = 0;
    if (const int error =
            stream_.Read(window_.data() + windowSize_, window_.size() - windowSize_, &got);
        error != 0) {
      return error;
    }
    if (got == 0) break;
    windowSize_ += got;
  }
  return 0;
}

int ZipReader::ReadAt(uint64_t offset, void* out, size_t n, size_t* got) {
  *got = 0;
  auto* bytes = static_cast<uint8_t*>(out);
  while (*got < n) {
    const uint64_t at = offset + *got;
    if (at < windowStart_ || at >= windowStart_ + windowSize_) {
      if (const int error = Fill(at); error != 0) return error;
      if (windowSize_ == 0) return 0;  // the end of the file
    }
    const size_t from = static_cast<size_t>(at - windowStart_);
    const size_t take = std::min(n - *got, windowSize_ - from);
    std::memcpy(bytes + *got, window_.data() + from, take);
    *got += take;
  }
  return 0;
}

int ZipReader::ReadExactly(uint64_t offset, void* out, size_t n) {
  size_t got = 0;
  if (const int error = ReadAt(offset, out, n, &got); error != 0) return error;
  return got == n ? 0 : EINVAL;
}

platform::Status ZipReader::ReadDirectory(std::vector<ZipEntry>* entries) {
  entries->clear();
  if (const int error = stream_.Seek(0, platform::FileStream::kFromEnd, &size_); error != 0) {
    return platform::Status::Error(error, L"its size cannot be read");
  }
  windowSize_ = 0;
  if (size_ < kEndRecordSize) return Damaged(L"too short for a ZIP archive");
  // The end record: the last one in the final 64 KiB (a comment may follow).
  const size_t tail = static_cast<size_t>(std::min<uint64_t>(size_, kEndRecordSize + kMaxComment));
  std::vector<uint8_t> end(tail);
  if (const int error = ReadExactly(size_ - tail, end.data(), tail); error != 0) {
    return platform::Status::Error(error, L"its end cannot be read");
  }
  size_t record = tail - kEndRecordSize + 1;
  do {
    --record;
  } while (record > 0 && Fields(end.data() + record, 4).U32() != kEndRecord);
  if (Fields(end.data() + record, 4).U32() != kEndRecord) {
    return Damaged(L"not a ZIP archive (no end record)");
  }
  const uint64_t endOffset = size_ - tail + record;
  Fields fields(end.data() + record + 4, kEndRecordSize - 4);
  const uint16_t disk = fields.U16();
  fields.U16();  // the disk of the directory
  fields.U16();  // entries on this disk
  uint64_t count = fields.U16();
  uint64_t directorySize = fields.U32();
  uint64_t directoryOffset = fields.U32();
  if (disk == kFull16 || count == kFull16 || directorySize == kFull32 ||
      directoryOffset == kFull32) {
    // ZIP64: the locator right before the end record names its record.
    uint8_t locator[kZip64LocatorSize];
    if (endOffset < sizeof locator ||
        ReadExactly(endOffset - sizeof locator, locator, sizeof locator) != 0 ||
        Fields(locator, 4).U32() != kZip64Locator) {
      return Damaged(L"its ZIP64 end record is missing");
    }
    Fields located(locator + 8, 8);
    const uint64_t zip64Offset = located.U64();
    uint8_t zip64[kZip64EndRecordSize];
    if (ReadExactly(zip64Offset, zip64, sizeof zip64) != 0 ||
        Fields(zip64, 4).U32() != kZip64EndRecord) {
      return Damaged(L"its ZIP64 end record is damaged");
    }
    Fields big(zip64 + 24, 32);
    big.U64();  // entries on this disk
    count = big.U64();
    directorySize = big.U64();
    directoryOffset = big.U64();
  }
  if (directoryOffset > size_ || directorySize > size_ - directoryOffset ||
      count > directorySize / kCentralHeaderSize) {
    if (count != 0 || directorySize != 0) return Damaged(L"its directory lies outside it");
  }
  entries->reserve(static_cast<size_t>(count));
  uint64_t at = directoryOffset;
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t header[kCentralHeaderSize];
    if (ReadExactly(at, header, sizeof header) != 0 || Fields(header, 4).U32() != kCentralHeader) {
      return Damaged(L"its directory is damaged");
    }
    Fields central(header + 4, kCentralHeaderSize - 4);
    ZipEntry entry;
    entry.versionMadeBy = central.U16();
    central.U16();  // version needed
    entry.flags = central.U16();
    entry.method = central.U16();
    entry.dosTime = central.U16();
    entry.dosDate = central.U16();
    entry.crc = central.U32();
    entry.compressedSize = central.U32();
    entry.uncompressedSize = central.U32();
    const uint16_t nameSize = central.U16();
    const uint16_t extraSize = central.U16();
    const uint16_t commentSize = central.U16();
    central.U16();  // disk
    central.U16();  // internal attributes
    entry.externalAttributes = central.U32();
    entry.localHeaderOffset = central.U32();
    entry.name.resize(nameSize);
    std::string extra(extraSize, '\0');
    if (ReadExactly(at + kCentralHeaderSize, entry.name.data(), nameSize) != 0 ||
        ReadExactly(at + kCentralHeaderSize + nameSize, extra.data(), extraSize) != 0 ||
        !ApplyZip64(extra, &entry.uncompressedSize, &entry.compressedSize,
                    &entry.localHeaderOffset)) {
      return Damaged(L"its directory is damaged");
    }
    at += kCentralHeaderSize + nameSize + extraSize + commentSize;
    entries->push_back(std::move(entry));
  }
  return {};
}

platform::Status ZipReader::LocateData(const ZipEntry& entry, uint64_t* dataOffset) {
  if (size_ == 0) {
    if (const int error = stream_.Seek(0, platform::FileStream::kFromEnd, &size_); error != 0) {
      return platform::Status::Error(error, L"its size cannot be read");
    }
    windowSize_ = 0;
  }
  uint8_t header[kLocalHeaderSize];
  if (ReadExactly(entry.localHeaderOffset, header, sizeof header) != 0 ||
      Fields(header, 4).U32() != kLocalHeader) {
    return Damaged(L"its local header is missing");
  }
  Fields local(header + 4, kLocalHeaderSize - 4);
  local.U16();  // version needed
  const uint16_t flags = local.U16();
  const uint16_t method = local.U16();
  local.U16();  // time
  local.U16();  // date
  uint32_t crc = local.U32();
  uint64_t compressed = local.U32();
  uint64_t uncompressed = local.U32();
  const uint16_t nameSize = local.U16();
  const uint16_t extraSize = local.U16();
  std::string name(nameSize, '\0');
  std::string extra(extraSize, '\0');
  if (ReadExactly(entry.localHeaderOffset + kLocalHeaderSize, name.data(), nameSize) != 0 ||
      ReadExactly(entry.localHeaderOffset + kLocalHeaderSize + nameSize, extra.data(), extraSize) !=
          0) {
    return Damaged(L"its local header is cut off");
  }
  if (name != entry.name) return Damaged(L"its local header holds another name");
  if (flags != entry.flags || method != entry.method) {
    return Damaged(L"its local header holds other flags or another method");
  }
  *dataOffset = entry.localHeaderOffset + kLocalHeaderSize + nameSize + extraSize;
  if (flags & kZipDataDescriptor) {
    // The values follow the data: CRC and sizes, 8 bytes each where the
    // local header has a ZIP64 field, after an optional signature.
    const bool zip64 = HasZip64(extra) || compressed == kFull32 || uncompressed == kFull32;
    uint8_t descriptor[24];
    const uint64_t after = *dataOffset + entry.compressedSize;
    size_t got = 0;
    if (ReadAt(after, descriptor, sizeof descriptor, &got) != 0 || got < 12) {
      return Damaged(L"its data descriptor is missing");
    }
    Fields values(descriptor, got);
    if (Fields(descriptor, 4).U32() == kDataDescriptor) values.U32();
    crc = values.U32();
    compressed = zip64 ? values.U64() : values.U32();
    uncompressed = zip64 ? values.U64() : values.U32();
    if (!values.ok()) return Damaged(L"its data descriptor is cut off");
  } else if (!ApplyZip64(extra, &uncompressed, &compressed, nullptr)) {
    return Damaged(L"its local header lacks its ZIP64 sizes");
  }
  if (crc != entry.crc || compressed != entry.compressedSize ||
      uncompressed != entry.uncompressedSize) {
    return Damaged(L"its local header holds another CRC or size");
  }
  if (*dataOffset > size_ || entry.compressedSize > size_ - *dataOffset) {
    return Damaged(L"its data lies outside the archive");
  }
  return {};
}

}  // namespace kelvane
