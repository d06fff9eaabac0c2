// Reading a ZIP archive's entries: the directory (zip_reader.h, ZIP64
// included) as entries, and each entry's data decrypted (the PKWARE cipher,
// with the password it was written with, whether its header is checked
// against the CRC or, with a data descriptor, the time), inflated and checked
// against its record (CRC-32, size) while it streams into a sink. Every core
// reads entries of its own through its own view of the archive.
//
// An entry of at most kWholeEntrySize bytes either way (most entries of a
// real backup) is read in one call and inflated in one go by libdeflate, about
// three times zlib's speed, into a buffer of the size its record gives: a
// stream that would grow past it fails instead of growing it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "archive/zip/zip_reader.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

class ZipEntryReader {
 public:
  using OpenView = std::function<int(std::unique_ptr<platform::FileStream>*)>;

  // `open` opens a view of the archive, once for each core that reads.
  ZipEntryReader(OpenView open, std::string password);

  // Opens the views and reads the directory; a failure's code is an errno
  // value (EINVAL for a damaged archive), its context says what is wrong.
  platform::Status Open();

  // The entries, in the directory's order, made anew at each call: reading
  // makes each one as it comes, so that a million entries are not held
  // twice (the directory's records and these).
  std::vector<ArchiveEntry> entries() const;

  // Reads every entry on every core into the sink `reading` gives it.
  void ReadAll(const EntryReading& reading);

 private:
  static constexpr uint64_t kWholeEntrySize = 4u << 20;
  struct Scratch;

  void ReadPart(size_t part, const EntryReading& reading);
  std::wstring ReadEntry(ZipReader& reader, const ZipEntry& entry, EntrySink& sink,
                         Scratch& scratch, const std::atomic<bool>* stop) const;
  std::wstring ReadWholeEntry(ZipReader& reader, const ZipEntry& entry, uint64_t at,
                              EntrySink& sink, Scratch& scratch) const;

  OpenView open_;
  std::string password_;
  std::vector<std::unique_ptr<platform::FileStream>> views_;
  std::vector<ZipEntry> records_;
};

}  // namespace kelvane
