#include "archive/zip/zip_end_repair.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "archive/zip/zip_records.h"

namespace kelvane {
namespace {

using zip_records::kCentralHeader;
using zip_records::kEndRecord;
using zip_records::kEndRecordSize;
using zip_records::kZip64EndRecord;
using zip_records::kZip64EndRecordSize;
using zip_records::kZip64Locator;
using zip_records::kZip64LocatorSize;
constexpr uint8_t kHostUnix = 3;

uint64_t Get(const uint8_t* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int ReadAt(platform::FileStream& stream, uint64_t offset, void* buffer, size_t n) {
  if (const int error =
          stream.Seek(static_cast<int64_t>(offset), platform::FileStream::kFromStart, nullptr);
      error != 0) {
    return error;
  }
  auto* p = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    size_t got = 0;
    if (const int error = stream.Read(p, n, &got); error != 0) return error;
    if (got == 0) return EILSEQ;
    p += got;
    n -= got;
  }
  return 0;
}

int WriteAt(platform::FileStream& stream, uint64_t offset, const void* data, size_t n) {
  if (const int error =
          stream.Seek(static_cast<int64_t>(offset), platform::FileStream::kFromStart, nullptr);
      error != 0) {
    return error;
  }
  return stream.Write(data, n);
}

}  // namespace

int RepairZipEnd(platform::FileStream& stream, uint64_t entryCount) {
  uint64_t size = 0;
  if (const int error = stream.Seek(0, platform::FileStream::kFromEnd, &size); error != 0) {
    return error;
  }
  if (size < kEndRecordSize) return EILSEQ;
  const uint64_t endOffset = size - kEndRecordSize;
  uint8_t end[kEndRecordSize];
  if (const int error = ReadAt(stream, endOffset, end, kEndRecordSize); error != 0) return error;
  if (Get(end, 4) != kEndRecord || Get(end + 20, 2) != 0) return EILSEQ;

  // Where the central directory is: from the Zip64 end record when minizip
  // wrote one, else from the plain end record.
  uint64_t centralOffset = Get(end + 16, 4);
  uint64_t centralSize = Get(end + 12, 4);
  bool hasZip64End = false;
  if (endOffset >= kZip64LocatorSize) {
    uint8_t locator[kZip64LocatorSize];
    if (const int error = ReadAt(stream, endOffset - kZip64LocatorSize, locator, kZip64LocatorSize);
        error != 0) {
      return error;
    }
    if (Get(locator, 4) == kZip64Locator) {
      uint8_t zip64End[kZip64EndRecordSize];
      if (const int error = ReadAt(stream, Get(locator + 8, 8), zip64End, kZip64EndRecordSize);
          error != 0) {
        return error;
      }
      if (Get(zip64End, 4) != kZip64EndRecord) return EILSEQ;
      hasZip64End = true;
      centralSize = Get(zip64End + 40, 8);
      centralOffset = Get(zip64End + 48, 8);
    }
  }

  // Every central record says "made by Unix", so the stored modes are used.
  // A window at a time: a million entries make a directory of some 150 MB.
  constexpr size_t kWindow = size_t{1} << 20;  // more than the largest record
  std::vector<uint8_t> window;
  uint64_t records = 0;
  for (uint64_t start = 0; start < centralSize;) {
    window.resize(static_cast<size_t>(std::min<uint64_t>(kWindow, centralSize - start)));
    if (const int error = ReadAt(stream, centralOffset + start, window.data(), window.size());
        error != 0) {
      return error;
    }
    size_t at = 0;
    bool changed = false;
    while (at + 46 <= window.size()) {
      if (Get(&window[at], 4) != kCentralHeader) return EILSEQ;
      const size_t length =
          46 + Get(&window[at + 28], 2) + Get(&window[at + 30], 2) + Get(&window[at + 32], 2);
      if (at + length > window.size()) break;  // it goes on in the next window
      if (window[at + 5] != kHostUnix) {
        window[at + 5] = kHostUnix;
        changed = true;
      }
      at += length;
      ++records;
    }
    if (at == 0) return EILSEQ;
    if (changed) {
      if (const int error = WriteAt(stream, centralOffset + start, window.data(), at); error != 0) {
        return error;
      }
    }
    start += at;
  }
  if (records != entryCount) return EILSEQ;
  if (entryCount <= 0xFFFF || hasZip64End) return 0;

  // Too many entries for the plain end record: Zip64 end record, locator, end.
  const uint64_t zip64EndOffset = centralOffset + centralSize;
  std::vector<uint8_t> tail;
  Put(tail, kZip64EndRecord, 4);
  Put(tail, kZip64EndRecordSize - 12, 8);
  Put(tail, (kHostUnix << 8) | 45, 2);
  Put(tail, 45, 2);
  Put(tail, 0, 4);
  Put(tail, 0, 4);
  Put(tail, entryCount, 8);
  Put(tail, entryCount, 8);
  Put(tail, centralSize, 8);
  Put(tail, centralOffset, 8);
  Put(tail, kZip64Locator, 4);
  Put(tail, 0, 4);
  Put(tail, zip64EndOffset, 8);
  Put(tail, 1, 4);
  Put(tail, kEndRecord, 4);
  Put(tail, 0, 2);
  Put(tail, 0, 2);
  Put(tail, 0xFFFF, 2);
  Put(tail, 0xFFFF, 2);
  Put(tail, centralSize >= 0xFFFFFFFF ? 0xFFFFFFFF : centralSize, 4);
  Put(tail, centralOffset >= 0xFFFFFFFF ? 0xFFFFFFFF : centralOffset, 4);
  Put(tail, 0, 2);
  if (const int error = WriteAt(stream, zip64EndOffset, tail.data(), tail.size()); error != 0) {
    return error;
  }
  return stream.SetSize(zip64EndOffset + tail.size());
}

}  // namespace kelvane
