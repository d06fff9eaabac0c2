// The records of the ZIP format (PKWARE's APPNOTE) that Kelvane writes and
// reads: their signatures and fixed sizes, and the writer's encoding of each
// entry's headers and of the archive's end. One place for the writer
// (zip_archive.h) and the reader (zip_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

namespace zip_records {

inline constexpr uint32_t kLocalHeader = 0x04034b50;
inline constexpr uint32_t kCentralHeader = 0x02014b50;
inline constexpr uint32_t kEndRecord = 0x06054b50;
inline constexpr uint32_t kZip64EndRecord = 0x06064b50;
inline constexpr uint32_t kZip64Locator = 0x07064b50;
inline constexpr uint32_t kDataDescriptor = 0x08074b50;
inline constexpr uint16_t kZip64ExtraField = 0x0001;

inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;

}  // namespace zip_records

// What both of an entry's headers say, fixed before its data is written.
struct ZipEntryHeader {
  std::string name;                 // "/" separators; a folder's ends in "/"
  uint32_t dosDateTime = 0;         // DOS date in the high half, time in the low
  uint32_t externalAttributes = 0;  // Unix mode in the high half, DOS bits in the low
  uint16_t flags = 0;
  uint16_t method = 0;  // 0 stored, 8 deflated
  // The local header holds the sizes in a ZIP64 field: for entries that may
  // reach 4 GiB, as the size is only known once the data is written.
  bool zip64 = false;
  // Info-ZIP's extended timestamp (the modification time in UTC seconds) and
  // Unix owner fields, as zip writes them by default, in both headers: unzip
  // -X and bsdtar give back the exact second and, as root, the owner and group.
  uint32_t modifiedUtc = 0;
  uint32_t owner = 0;
  uint32_t group = 0;
};

// What an entry's data came to.
struct ZipEntrySizes {
  uint32_t crc = 0;
  uint64_t compressed = 0;  // as stored, with an encryption header
  uint64_t size = 0;        // of the file
};

// The entry's local header. Written with zero sizes before the data, and
// written again over itself with the real ones after it (same length).
void AppendLocalHeader(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                       std::vector<uint8_t>* out);
// What follows an encrypted entry's data (flag bit 3): its CRC and sizes.
void AppendDataDescriptor(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                          std::vector<uint8_t>* out);
// The entry's record in the central directory; its local header starts at
// `localOffset`. A ZIP64 field holds whatever does not fit 32 bits.
void AppendCentralRecord(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                         uint64_t localOffset, std::vector<uint8_t>* out);
// The end of the archive after a central directory of `entries` records:
// with the ZIP64 end record and its locator when a count, size or offset
// does not fit the plain end record.
void AppendEndRecords(uint64_t entries, uint64_t directoryOffset, uint64_t directorySize,
                      std::vector<uint8_t>* out);

}  // namespace kelvane
