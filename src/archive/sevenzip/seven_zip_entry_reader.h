// Reading a 7z archive's entries through the 7-Zip library's reader: the
// entries (names, folders, sizes, times, Unix modes where the writer kept
// them) and each entry's bytes decoded (decrypted with the job's password)
// into a sink, its CRC checked by the library, which is what extracting it
// does.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane::SevenZip {

class SevenZipEntryReader {
 public:
  // Through the library at `libraryPath`; `password` for encrypted archives.
  SevenZipEntryReader(std::wstring libraryPath, std::wstring password);
  ~SevenZipEntryReader();

  // Opens `archive` and lists its entries; a failure's context says what
  // kept it from that (EINVAL: not a readable archive; EIO: the library
  // failed). `stop` (may be null) ends the reader's work early.
  platform::Status Open(std::unique_ptr<platform::FileStream> archive,
                        const std::atomic<bool>* stop);

  const std::vector<ArchiveEntry>& entries() const { return entries_; }

  // Reads the entries into the sinks `reading` gives them, in the archive's
  // order; ok when the archive was read to its end (each sink heard its
  // verdict) or the reading was stopped.
  platform::Status ReadAll(const EntryReading& reading);

 private:
  struct Open7z;

  std::wstring libraryPath_;
  std::wstring password_;
  std::unique_ptr<Open7z> open_;
  std::vector<ArchiveEntry> entries_;
};

}  // namespace kelvane::SevenZip
