// The structure of a ZIP archive as a reader meets it, ZIP64 included: the
// end record (and its ZIP64 record), the central directory, and for each
// entry its local header, which must agree with the directory, and where its
// data lies.
//
// Debian 12's minizip (1.1) cannot serve here: on 64-bit Linux it never
// applies ZIP64 sizes and offsets (it compares the 32-bit placeholder with
// (unsigned long)-1), so every entry of 4 GiB or more, or past 4 GiB into
// the archive, reads wrong through it.
//
// A reader reads through its own stream, a window of it at a time; one
// thread at a time. A failure is a status: an errno value (EINVAL for what is
// not a ZIP archive as it should be) and a text saying what is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

struct ZipEntry {
  std::string name;  // its bytes, as stored
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint16_t versionMadeBy = 0;
  uint32_t externalAttributes = 0;
};

// General-purpose flags.
inline constexpr uint16_t kZipEncrypted = 0x1;
inline constexpr uint16_t kZipDataDescriptor = 0x8;

class ZipReader {
 public:
  explicit ZipReader(platform::FileStream& stream);

  // The entries of the central directory, in its order.
  platform::Status ReadDirectory(std::vector<ZipEntry>* entries);

  // Where `entry`'s data starts, once its local header (and, with a data
  // descriptor, the descriptor after the data) agrees with the directory:
  // name, method, flags, CRC and sizes; EINVAL saying where it does not.
  platform::Status LocateData(const ZipEntry& entry, uint64_t* dataOffset);

  // Reads up to `n` bytes at `offset`; `*got` is less only at the end.
  int ReadAt(uint64_t offset, void* out, size_t n, size_t* got);

 private:
  int ReadExactly(uint64_t offset, void* out, size_t n);
  int Fill(uint64_t offset);

  platform::FileStream& stream_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  size_t windowSize_ = 0;
  uint64_t size_ = 0;
};

}  // namespace kelvane
