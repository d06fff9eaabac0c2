// The archive's central directory while the entries are written: its records
// go to a spool file rather than memory (a million entries make some 100 MB
// of records), and follow the entries into the archive at its end, with the
// end records.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/zip/zip_output.h"
#include "archive/zip/zip_records.h"
#include "platform/file_system.h"

namespace kelvane {

class ZipCentralDirectory {
 public:
  // `spool` is an empty file for reading and writing that nobody else sees.
  explicit ZipCentralDirectory(std::unique_ptr<platform::FileStream> spool);

  // The record of an entry whose local header is at `localOffset`. 0 or an
  // errno value.
  int Add(const ZipEntryHeader& header, const ZipEntrySizes& sizes, uint64_t localOffset);

  // Appends the directory and the end records to `output`. 0 or an errno value.
  int WriteTo(ZipOutput& output);

  uint64_t entries() const { return entries_; }

 private:
  int Spill();

  std::unique_ptr<platform::FileStream> spool_;
  std::vector<uint8_t> pending_;  // records not yet in the spool
  uint64_t spooled_ = 0;          // bytes in the spool
  uint64_t entries_ = 0;
};

}  // namespace kelvane
