#include "archive/zip/zip_entry_reader.h"

#include <libdeflate.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "archive/zip/crc32.h"
#include "archive/zip/pkware_cipher.h"
#include "platform/local_clock.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

constexpr uint16_t kMadeOnUnix = 3;
constexpr size_t kPassSize = 1 << 16;  // what the streaming path reads at once

// The last byte of an encryption header, which a right password decrypts to:
// the CRC's high byte, or the time's when the CRC came after the data.
uint8_t CheckByte(const ZipEntry& entry) {
  return (entry.flags & kZipDataDescriptor) ? static_cast<uint8_t>(entry.dosTime >> 8)
                                            : static_cast<uint8_t>(entry.crc >> 24);
}

ArchiveEntry EntryOf(const ZipEntry& record) {
  ArchiveEntry entry;
  entry.name = record.name;
  entry.size = record.uncompressedSize;
  entry.packedSize = record.compressedSize;
  // DOS time: local, to two seconds.
  platform::CalendarTime time;
  time.year = 1980 + (record.dosDate >> 9);
  time.month = (record.dosDate >> 5) & 0xF;
  time.day = record.dosDate & 0x1F;
  time.hour = record.dosTime >> 11;
  time.minute = (record.dosTime >> 5) & 0x3F;
  time.second = (record.dosTime & 0x1F) * 2;
  entry.modifiedSeconds = platform::UnixTimeOfLocal(time);
  if ((record.versionMadeBy >> 8) == kMadeOnUnix) entry.mode = record.externalAttributes >> 16;
  if (!entry.name.empty() && entry.name.back() == '/') {
    entry.type = EntryType::kFolder;
  } else if (S_ISLNK(entry.mode)) {
    entry.type = EntryType::kLink;
  }
  return entry;
}

// Grows `buffer` to at least `size` bytes; growing is all that clears memory.
void Reserve(std::vector<uint8_t>* buffer, size_t size) {
  if (buffer->size() < size) buffer->resize(size);
}

}  // namespace

// What one reading thread reuses from entry to entry.
struct ZipEntryReader::Scratch {
  Scratch() : whole(libdeflate_alloc_decompressor()) {}
  ~Scratch() {
    if (whole != nullptr) libdeflate_free_decompressor(whole);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  libdeflate_decompressor* whole;
};

ZipEntryReader::ZipEntryReader(OpenView open, std::string password)
    : open_(std::move(open)), password_(std::move(password)) {}

platform::Status ZipEntryReader::Open() {
  views_.resize(std::max(1u, std::thread::hardware_concurrency()));
  for (auto& view : views_) {
    if (const int error = open_(&view); error != 0) {
      return platform::Status::Error(error, L"cannot be opened");
    }
  }
  ZipReader directory(*views_[0]);
  return directory.ReadDirectory(&records_);
}

std::vector<ArchiveEntry> ZipEntryReader::entries() const {
  std::vector<ArchiveEntry> entries;
  entries.reserve(records_.size());
  for (const ZipEntry& record : records_) entries.push_back(EntryOf(record));
  return entries;
}

void ZipEntryReader::ReadAll(const EntryReading& reading) {
  std::vector<std::thread> workers;
  for (size_t part = 1; part < views_.size(); ++part) {
    workers.emplace_back([this, part, &reading] { ReadPart(part, reading); });
  }
  if (!views_.empty()) ReadPart(0, reading);
  for (std::thread& worker : workers) worker.join();
}

// Every `parts`-th entry from the `part`-th on, through the part's own view.
void ZipEntryReader::ReadPart(size_t part, const EntryReading& reading) {
  ZipReader reader(*views_[part]);
  Scratch scratch;
  for (size_t index = part; index < records_.size(); index += views_.size()) {
    if (reading.stop && reading.stop->load()) return;
    std::unique_ptr<EntrySink> sink = reading.sinkFor(EntryOf(records_[index]));
    if (sink) sink->Done(ReadEntry(reader, records_[index], *sink, scratch, reading.stop));
  }
}

std::wstring ZipEntryReader::ReadEntry(ZipReader& reader, const ZipEntry& entry, EntrySink& sink,
                                       Scratch& scratch, const std::atomic<bool>* stop) const {
  const std::string_view password = password_;
  uint64_t at = 0;
  std::wstring why;
  if (const platform::Status located = reader.LocateData(entry, &at); !located.ok()) {
    return located.context();
  }
  const int method = entry.method;
  if (method != 0 && method != Z_DEFLATED) {
    return FormatText(L"unknown method %ld", static_cast<long>(method));
  }
  const bool encrypted = (entry.flags & kZipEncrypted) != 0;
  if (encrypted && password.empty()) return L"encrypted, but the job has no password";
  if (entry.compressedSize <= kWholeEntrySize && entry.uncompressedSize <= kWholeEntrySize &&
      scratch.whole != nullptr) {
    return ReadWholeEntry(reader, entry, at, sink, scratch);
  }
  PkwareCipher cipher(password);
  z_stream inflater{};
  if (method == Z_DEFLATED && inflateInit2(&inflater, -MAX_WBITS) != Z_OK) return L"out of memory";
  Reserve(&scratch.in, kPassSize);
  Reserve(&scratch.out, kPassSize);
  std::vector<uint8_t>& in = scratch.in;
  std::vector<uint8_t>& out = scratch.out;
  uint32_t crc = 0;
  uint64_t size = 0;
  size_t headerLeft = encrypted ? 12 : 0;
  uint8_t header[12];
  bool ended = method != Z_DEFLATED;
  uint64_t left = entry.compressedSize;
  while (left > 0) {
    if (stop && stop->load()) {
      why = L"not checked to its end (the run was cancelled)";
      break;
    }
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, kPassSize));
    size_t got = 0;
    if (const int error = reader.ReadAt(at, in.data(), n, &got); error != 0 || got != n) {
      why = error != 0 ? L"cannot be read" : L"cut off";
      break;
    }
    at += n;
    left -= n;
    uint8_t* data = in.data();
    if (encrypted) {
      cipher.Decrypt(data, n);
      while (headerLeft > 0 && n > 0) {
        header[12 - headerLeft--] = *data++;
        --n;
        if (headerLeft == 0) {
          if (header[11] != CheckByte(entry)) why = L"wrong password";
        }
      }
      if (!why.empty()) break;
    }
    if (method != Z_DEFLATED) {
      crc = Crc32(data, n, crc);
      size += n;
      if (sink.Write(data, n) != 0) {
        why = L"cannot be written";
        break;
      }
      continue;
    }
    inflater.next_in = data;
    inflater.avail_in = static_cast<uInt>(n);
    while (inflater.avail_in > 0 && !ended) {
      inflater.next_out = out.data();
      inflater.avail_out = static_cast<uInt>(kPassSize);
      const int result = inflate(&inflater, Z_NO_FLUSH);
      const size_t produced = kPassSize - inflater.avail_out;
      crc = Crc32(out.data(), produced, crc);
      size += produced;
      if (produced > 0 && sink.Write(out.data(), produced) != 0) {
        why = L"cannot be written";
        break;
      }
      if (result == Z_STREAM_END) {
        ended = true;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        why = L"damaged data";
        break;
      }
    }
    if (!why.empty()) break;
    if (ended && inflater.avail_in > 0) {
      why = L"data after its end";
      break;
    }
  }
  if (method == Z_DEFLATED) inflateEnd(&inflater);
  if (!why.empty()) return why;
  if (headerLeft > 0) return L"cut off";
  if (!ended) return L"cut off";
  if (size != entry.uncompressedSize) return L"wrong size";
  if (crc != entry.crc) return L"CRC error";
  return L"";
}

std::wstring ZipEntryReader::ReadWholeEntry(ZipReader& reader, const ZipEntry& entry, uint64_t at,
                                            EntrySink& sink, Scratch& scratch) const {
  size_t n = static_cast<size_t>(entry.compressedSize);
  const size_t size = static_cast<size_t>(entry.uncompressedSize);
  Reserve(&scratch.in, n);
  size_t got = 0;
  if (const int error = reader.ReadAt(at, scratch.in.data(), n, &got); error != 0) {
    return L"cannot be read";
  }
  if (got != n) return L"cut off";
  const uint8_t* data = scratch.in.data();
  if ((entry.flags & kZipEncrypted) != 0) {
    if (n < 12) return L"cut off";
    PkwareCipher cipher(password_);
    cipher.Decrypt(scratch.in.data(), n);
    if (data[11] != CheckByte(entry)) return L"wrong password";
    data += 12;
    n -= 12;
  }
  if (entry.method == Z_DEFLATED) {
    Reserve(&scratch.out, std::max<size_t>(size, 1));
    size_t used = 0;
    size_t produced = 0;
    const libdeflate_result result = libdeflate_deflate_decompress_ex(
        scratch.whole, data, n, scratch.out.data(), size, &used, &produced);
    if (result == LIBDEFLATE_INSUFFICIENT_SPACE) return L"wrong size";
    if (result != LIBDEFLATE_SUCCESS) return L"damaged data";
    if (used < n) return L"data after its end";
    if (produced != size) return L"wrong size";
    data = scratch.out.data();
    n = produced;
  } else if (n != size) {
    return L"wrong size";
  }
  if (n > 0 && sink.Write(data, n) != 0) return L"cannot be written";
  return Crc32(data, n) == entry.crc ? L"" : L"CRC error";
}

}  // namespace kelvane
