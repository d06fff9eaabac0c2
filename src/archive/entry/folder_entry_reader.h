// Reading a folder copy back as entries, as the archive readers do: every
// folder, file and link below the copy's top folder, opened relative to the
// folders it walked (never by a path a link could redirect), each file's
// bytes streamed into a sink on every core.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

class FolderEntryReader {
 public:
  // Walks the folder `top`, which must stay open while the reader is used; a
  // failure names the first entry that could not be read.
  platform::Status Open(const platform::Folder& top);

  // Names are relative to the top folder, a folder's with a final "/".
  const std::vector<ArchiveEntry>& entries() const { return entries_; }

  // Reads every file into the sink `reading` gives it, and every link's
  // target (read, never followed) as the archives store it; folders hear
  // their verdict at once.
  void ReadAll(const EntryReading& reading);

 private:
  platform::Status Walk(const platform::Folder& folder, const std::string& prefix);
  std::wstring ReadFile(size_t index, EntrySink& sink, const std::atomic<bool>* stop) const;
  std::wstring ReadLink(size_t index, EntrySink& sink) const;

  // For each entry: the folder that holds it (an index into folders_) and
  // its name there.
  struct Place {
    size_t folder;
    std::wstring name;
    platform::FileId id;
  };
  std::vector<const platform::Folder*> folders_;
  std::vector<std::unique_ptr<platform::Folder>> opened_;
  std::vector<Place> places_;
  std::vector<ArchiveEntry> entries_;
};

}  // namespace kelvane
