// The records of the ZIP format (PKWARE's APPNOTE) that Kelvane reads and
// mends itself, with their signatures and fixed sizes: one place for both
// the reader (zip_reader.h) and the end-of-archive repairs
// (zip_end_repair.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane::zip_records {

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

}  // namespace kelvane::zip_records
