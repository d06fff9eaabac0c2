// Writing a restore point's entries into the restore's folder.
//
// Everything is made relative to folders this writer opened itself, one
// component at a time and never through a symbolic link, including a link an
// earlier entry of the same restore made: a link "a -> /etc" followed by a
// file "a/passwd" writes nothing outside the folder. A file is written under
// a temporary name in its folder, checked against the size and SHA-256 its
// manifest gives as it is written, given its mode, owner, attributes and
// times, and only then renamed to its name: a damaged or cancelled file
// never stands under its name, and an existing file is replaced in one step.
// Folders get their status last, deepest first, once all they hold is there.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "manifest/manifest_line.h"
#include "platform/file_system.h"

namespace kelvane {

class RunLog;

class RestoreWriter {
 public:
  // Writes below `top`, which stays open while the writer is used, and says
  // each failure in `log`.
  RestoreWriter(const platform::Folder& top, RunLog& log);

  // Each makes one entry; false (and logged) when it could not.
  bool MakeFolder(const ManifestEntry& folder);
  bool MakeLink(const ManifestEntry& link);
  // The sink a file's bytes go to; null (and logged) when its folder cannot
  // be made. The file counts as restored once its sink heard a good verdict.
  // May be called from several threads.
  std::unique_ptr<EntrySink> FileSink(const ManifestEntry& file);
  // Gives the folders their status, deepest first (`folders` in path order).
  void FinishFolders(const std::vector<const ManifestEntry*>& folders);

  uint64_t restoredFiles() const { return restoredFiles_; }
  uint64_t restoredBytes() const { return restoredBytes_; }
  uint64_t failures() const { return failures_; }
  // A file or link failed: said and counted (also by the sinks).
  void Fail(const std::string& path, const std::wstring& why);
  void FileRestored(uint64_t bytes);

  // The status an entry is given: owner and group by name where this
  // system knows the name, else by number.
  platform::RestoredStatus StatusOf(const ManifestEntry& entry);

 private:
  // The folder that holds `path`, made as needed, and the entry's own name.
  platform::Status OpenParent(const std::string& path,
                              std::shared_ptr<const platform::Folder>* parent, std::wstring* name);

  const platform::Folder& top_;
  RunLog& log_;
  std::mutex lock_;  // guards the caches
  std::unordered_map<std::string, std::shared_ptr<const platform::Folder>> folders_;
  std::unordered_map<std::string, uint32_t> users_;
  std::unordered_map<std::string, uint32_t> groups_;
  std::atomic<uint64_t> restoredFiles_{0};
  std::atomic<uint64_t> restoredBytes_{0};
  std::atomic<uint64_t> failures_{0};
};

}  // namespace kelvane
