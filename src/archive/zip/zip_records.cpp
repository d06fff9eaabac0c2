#include "archive/zip/zip_records.h"

#include <algorithm>

namespace kelvane {
namespace {

using namespace zip_records;

constexpr uint64_t kNoFit = 0xFFFFFFFF;  // a 32-bit field whose value is in the ZIP64 field
// "Made by" Unix, format version 4.5 (ZIP64): unzip then restores the modes.
constexpr uint16_t kMadeByUnix = (3 << 8) | 45;
constexpr uint16_t kNeedsZip64 = 45;
constexpr uint16_t kNeedsDeflate = 20;

void Put(std::vector<uint8_t>* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBytes(std::vector<uint8_t>* out, const void* data, size_t n) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + n);
}

constexpr size_t kInfoZipFieldsSize = 9 + 15;

// The same in the local and the central header.
void PutInfoZipFields(const ZipEntryHeader& header, std::vector<uint8_t>* out) {
  Put(out, 0x5455, 2);  // extended timestamp
  Put(out, 5, 2);
  Put(out, 1, 1);  // the modification time only
  Put(out, header.modifiedUtc, 4);
  Put(out, 0x7875, 2);  // Unix owner
  Put(out, 11, 2);
  Put(out, 1, 1);  // the field's version
  for (const uint32_t id : {header.owner, header.group}) {
    Put(out, 4, 1);  // bytes of the id
    Put(out, id, 4);
  }
}

}  // namespace

void AppendLocalHeader(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                       std::vector<uint8_t>* out) {
  Put(out, kLocalHeader, 4);
  Put(out, header.zip64 ? kNeedsZip64 : kNeedsDeflate, 2);
  Put(out, header.flags, 2);
  Put(out, header.method, 2);
  Put(out, header.dosDateTime, 4);
  Put(out, sizes.crc, 4);
  Put(out, header.zip64 ? kNoFit : sizes.compressed, 4);
  Put(out, header.zip64 ? kNoFit : sizes.size, 4);
  Put(out, header.name.size(), 2);
  Put(out, kInfoZipFieldsSize + (header.zip64 ? 20 : 0), 2);
  PutBytes(out, header.name.data(), header.name.size());
  if (header.zip64) {
    Put(out, kZip64ExtraField, 2);
    Put(out, 16, 2);
    Put(out, sizes.size, 8);
    Put(out, sizes.compressed, 8);
  }
  PutInfoZipFields(header, out);
}

void AppendDataDescriptor(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                          std::vector<uint8_t>* out) {
  Put(out, kDataDescriptor, 4);
  Put(out, sizes.crc, 4);
  Put(out, sizes.compressed, header.zip64 ? 8 : 4);
  Put(out, sizes.size, header.zip64 ? 8 : 4);
}

void AppendCentralRecord(const ZipEntryHeader& header, const ZipEntrySizes& sizes,
                         uint64_t localOffset, std::vector<uint8_t>* out) {
  // The ZIP64 field holds, in this order, those of the three that do not fit.
  std::vector<uint8_t> wide;
  for (const uint64_t value : {sizes.size, sizes.compressed, localOffset}) {
    if (value >= kNoFit) Put(&wide, value, 8);
  }
  const bool zip64 = !wide.empty();
  Put(out, kCentralHeader, 4);
  Put(out, kMadeByUnix, 2);
  Put(out, zip64 || header.zip64 ? kNeedsZip64 : kNeedsDeflate, 2);
  Put(out, header.flags, 2);
  Put(out, header.method, 2);
  Put(out, header.dosDateTime, 4);
  Put(out, sizes.crc, 4);
  Put(out, std::min(sizes.compressed, kNoFit), 4);
  Put(out, std::min(sizes.size, kNoFit), 4);
  Put(out, header.name.size(), 2);
  Put(out, kInfoZipFieldsSize + (zip64 ? 4 + wide.size() : 0), 2);
  Put(out, 0, 2);  // comment
  Put(out, 0, 2);  // disk
  Put(out, 0, 2);  // internal attributes
  Put(out, header.externalAttributes, 4);
  Put(out, std::min(localOffset, kNoFit), 4);
  PutBytes(out, header.name.data(), header.name.size());
  if (zip64) {
    Put(out, kZip64ExtraField, 2);
    Put(out, wide.size(), 2);
    PutBytes(out, wide.data(), wide.size());
  }
  PutInfoZipFields(header, out);
}

void AppendEndRecords(uint64_t entries, uint64_t directoryOffset, uint64_t directorySize,
                      std::vector<uint8_t>* out) {
  const uint64_t zip64EndOffset = directoryOffset + directorySize;
  if (entries >= 0xFFFF || directoryOffset >= kNoFit || directorySize >= kNoFit) {
    Put(out, kZip64EndRecord, 4);
    Put(out, kZip64EndRecordSize - 12, 8);
    Put(out, kMadeByUnix, 2);
    Put(out, kNeedsZip64, 2);
    Put(out, 0, 4);  // this disk
    Put(out, 0, 4);  // the directory's disk
    Put(out, entries, 8);
    Put(out, entries, 8);
    Put(out, directorySize, 8);
    Put(out, directoryOffset, 8);
    Put(out, kZip64Locator, 4);
    Put(out, 0, 4);
    Put(out, zip64EndOffset, 8);
    Put(out, 1, 4);  // disks
  }
  Put(out, kEndRecord, 4);
  Put(out, 0, 2);
  Put(out, 0, 2);
  Put(out, std::min<uint64_t>(entries, 0xFFFF), 2);
  Put(out, std::min<uint64_t>(entries, 0xFFFF), 2);
  Put(out, std::min(directorySize, kNoFit), 4);
  Put(out, std::min(directoryOffset, kNoFit), 4);
  Put(out, 0, 2);  // comment
}

}  // namespace kelvane
