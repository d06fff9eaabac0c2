// What stands in for the Windows archive attribute on Linux: a job's record of
// the files it saved, each with its identity as scanned and the target that
// holds it. A file "has its archive bit set" (is to be saved by a run that
// takes only changed files) unless the catalog holds it with exactly the
// identity it has now.
//
// Each job keeps its own catalog, so two jobs over the same files never
// disturb each other. The catalog must never claim a file that no kept backup
// holds: before a run decides, entries whose target is gone or is about to be
// replaced are dropped. Dropping too much only makes a run save more.
//
// The text form, one record a line, fields separated by tabs:
//   kelvane change catalog 1
//   target <TAB> NAME                            the targets, numbered from 0
//   file <TAB> TARGET <TAB> DEVICE <TAB> INODE <TAB> SIZE <TAB> MTIME <TAB> CTIME <TAB> PATH
//   end <TAB> FILES                              the number of file lines
// PATH is the file's full path as the system gives it and NAME a target's
// name, both with every byte below 0x20, 0x7F and "\" written as \xHH, so no
// name can break a line. Anything else is a damaged catalog.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/status.h"

namespace kelvane {

struct ScannedFile;

// A file as the scan saw it. Any write, rename, chmod or replacement changes
// at least one of these; the change time cannot be set back by a user.
struct FileIdentity {
  platform::FileId id;
  uint64_t size = 0;
  uint64_t lastWriteTime = 0;  // FILETIME ticks
  uint64_t changeTime = 0;     // nanoseconds since 1970
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const ScannedFile& file);
FileIdentity IdentityOf(const platform::DirectoryEntry& entry);

class ChangeCatalog {
 public:
  ChangeCatalog() = default;
  ChangeCatalog(const ChangeCatalog&) = delete;
  ChangeCatalog& operator=(const ChangeCatalog&) = delete;

  // Reads the text form. A damaged text leaves the catalog empty and fails
  // with EINVAL, its context saying what is wrong with it, for the log.
  platform::Status Parse(std::string_view text);
  // The same a line at a time (each without its line feed), so a catalog
  // file is never held whole in memory: BeginParse, ParseLine for each
  // line, EndParse.
  void BeginParse();
  platform::Status ParseLine(std::string_view line);
  platform::Status EndParse();
  std::string Text() const;
  // The same text in pieces of about a megabyte, handed to `write` in order
  // until it returns false: a catalog of a million files is some 150 MB.
  using TextWriter = std::function<bool(std::string_view piece)>;
  void WriteText(const TextWriter& write) const;

  // The files a run saved, told one by one to the function it is given.
  using FileVisit = std::function<void(std::string_view path, const FileIdentity& identity)>;
  using SavedFiles = std::function<void(const FileVisit& visit)>;
  // The text with the files `saved` visits recorded as saved into `target`
  // (replacing what the catalog holds for their paths), without keeping them
  // here: a run's million files would take some 200 MB as entries. The
  // entries of their paths are dropped from this catalog.
  void WriteTextWith(const SavedFiles& saved, const std::wstring& target, const TextWriter& write);

  // Drops every entry whose target `keep` rejects, and those targets.
  // Returns the names of the targets dropped that held entries.
  std::vector<std::wstring> DropTargets(const std::function<bool(const std::wstring&)>& keep);
  const std::vector<std::wstring>& targets() const { return targets_; }

  // Whether the file at `path` (its bytes) is recorded with exactly
  // `identity`: then it counts as saved. Such an entry is remembered as still
  // current. Safe from several threads at once while nothing else changes
  // the catalog.
  bool IsUnchanged(const std::string& path, const FileIdentity& identity) const;

  // Keeps only the entries that IsUnchanged confirmed: the files that are
  // still there and still in a kept backup.
  void KeepConfirmed();
  // Each entry IsUnchanged confirmed, with the target that holds it.
  void ForEachConfirmed(
      const std::function<void(const std::string& path, const std::wstring& target)>& visit) const;
  // Records `path` as saved into `target` with `identity`.
  void Record(std::string path, const FileIdentity& identity, const std::wstring& target);

  size_t size() const { return entries_.size(); }

 private:
  platform::Status Damaged(size_t line, const wchar_t* what);

  size_t parsedLines_ = 0;
  uint64_t parsedFiles_ = 0;
  bool parseEnded_ = false;
  struct Entry {
    FileIdentity identity;
    uint32_t target = 0;
    mutable std::atomic<bool> confirmed{false};
  };
  uint32_t TargetIndex(const std::wstring& target);
  // The text: this catalog's entries, then `count` files `saved` visits, in
  // the target numbered `target`.
  void WriteLines(const TextWriter& write, const SavedFiles& saved, uint64_t count,
                  uint32_t target) const;

  std::vector<std::wstring> targets_;
  uint32_t lastTarget_ = 0;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace kelvane
