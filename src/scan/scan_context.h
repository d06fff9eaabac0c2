// The scan of one run: turns a job's include folders into the list of files the
// run saves, leaving out excluded folders, links, mount points and the files
// that the job's attribute, extension, white-list and black-list rules reject.
//
// The run driver fills a fresh ScanContext from the job (includeFolders, the
// exclusions, the two list specs, options), then ScanSources (scan_sources.h)
// walks the include folders on worker threads. During the scan only
// processedFolders, results, includeFailures and unreadableEntries change,
// each under its lock (or atomically); everything else is read-only.
// Afterwards `results` is the run's file list: one ScannedFolder per folder
// the run saves (see ScannedFolder), each folder after all of its subfolders
// (depth-first post-order) within one include folder.
//
// The walk goes from open folder to open folder (platform/folder.h) and never
// through a symbolic link (with kScanIncludeLinks a link is an entry itself); each folder and file
// keeps the identity the scan saw, so the target phase can refuse anything swapped in since.
//
// Every decision whose log option is set is written to the run log; folders
// and entries that cannot be read are always logged and counted, because a
// backup that silently misses them would report success while losing data.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "job/scan_options.h"
#include "log/run_log.h"
#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/folder.h"

namespace kelvane {

class ChangeCatalog;

// A file the run saves, or with kScanIncludeLinks a symbolic link (saved as a
// link, its bytes its target's text). Its name lives in its folder's `names` (a run over a
// million files keeps a million of these, so each is kept small).
struct ScannedFile {
  platform::FileId id;         // the file the scan saw; a different one is never read
  uint64_t lastWriteTime = 0;  // FILETIME ticks
  uint64_t changeTime = 0;     // nanoseconds since 1970 (DirectoryEntry::changeTime)
  uint64_t size = 0;
  uint32_t attributes = 0;
  uint32_t nameStart = 0;  // in ScannedFolder::names

  // A scan takes no other entry with a reparse point (mount points never).
  bool IsLink() const { return (attributes & platform::kAttributeReparsePoint) != 0; }
};

static_assert(sizeof(ScannedFile) <= 48);

// A folder the run saves: one that holds a saved entry (in it or below it) or
// one that is empty in the source. A folder whose content was all left out
// is not in the result.
struct ScannedFolder {
  std::wstring path;               // ends in the separator; a file's full path is path + name
  platform::FileId id;             // the folder the scan read
  std::vector<ScannedFile> files;  // may be empty
  // The files' names as the system gives them, each ended by a NUL (which
  // no name on Linux holds).
  std::string names;
  // The folder's own status, for its entry: the Unix mode in the high 16
  // bits (as ScannedFile's) and its times in FILETIME ticks.
  uint32_t attributes = 0;
  uint64_t lastWriteTime = 0;
  uint32_t owner = 0;
  uint32_t group = 0;

  // Appends a file named `nativeName`; its nameStart is set here.
  void AddFile(ScannedFile file, std::string_view nativeName);
  std::string_view NativeName(const ScannedFile& file) const {
    return std::string_view(names.data() + file.nameStart);
  }
  std::wstring Name(const ScannedFile& file) const;
  // The folder's own mode and modification time as a file status.
  platform::FileStatus OwnStatus() const;
};

// FNV-1a (32 bits) over the text's UTF-16LE bytes.
uint32_t PathHash(std::wstring_view text);

// Folder paths are told apart by their full text; the hash only picks the
// bucket (colliding names are easy to make, and likely in large trees).
struct PathHasher {
  size_t operator()(const std::wstring& path) const { return PathHash(path); }
};
using PathSet = std::unordered_set<std::wstring, PathHasher>;

// An include folder that could not be opened: the run must not pass for a
// backup of it.
struct IncludeFailure {
  std::wstring path;
  int error = 0;
};

class ScanContext {
 public:
  // Writes its decisions to `log` (the program's is ProcessLog()).
  explicit ScanContext(RunLog& runLog) : log(runLog) {}

  // Normalises a list text whose lines are already joined by ";" into `spec`:
  // entries trimmed, sorted by UTF-16 code unit, duplicates dropped; "*" or
  // "*.*" empties what was built so far. An empty spec switches the test off.
  static void SetFileFilter(std::wstring& spec, std::wstring_view list);

  // Adds one excluded folder: exact paths match with or without the final
  // separator; entries with "*" or "?" are patterns matched against the
  // whole folder path with its final separator. Letter case counts, as it
  // does for Linux paths.
  void AddExcludeFolder(std::wstring_view entry);
  // The same for many entries at once, in O(n log n). Asks `stopRequested`
  // now and then and, when it says so, stops early and returns false.
  bool AddExcludeFolders(const std::vector<std::wstring_view>& entries,
                         const std::function<bool()>& stopRequested);

  bool IsExcludedFolder(int32_t taskNumber, std::wstring path);

  // Walks one include folder; `taskNumber` is the worker's number in log lines.
  void ScanIncludeFolder(int32_t taskNumber, const std::wstring& folder);
  // Walks the folder `path`: an include folder, opened by its path, or the
  // subfolder `entry` of the open folder `parent`; true when the folder is
  // saved (it went into `results`).
  bool WalkFolder(int32_t taskNumber, std::wstring path, const platform::Folder* parent = nullptr,
                  const platform::DirectoryEntry* entry = nullptr);

  // Number of files over all of `results`.
  uint32_t CountFiles() const;

  std::vector<std::wstring> includeFolders;
  PathSet excludedFolderPaths;  // exact exclusions, ending in the separator
  std::vector<std::wstring> excludedFolderPatterns;
  std::wstring whiteListSpec;
  std::wstring blackListSpec;
  uint32_t options = kScanCheckProcessedFolders;  // ScanOption bits
  // The job's own outputs (its target, log, lock and temporary files: the
  // names isOwnOutput accepts in the folder ownOutputFolder) are never taken,
  // so a source that holds the target does not back up earlier backups into
  // the new one.
  std::optional<platform::FileId> ownOutputFolder;
  std::function<bool(std::wstring_view name)> isOwnOutput;
  // With kScanArchiveBitGet: a file "has its archive bit set" unless this
  // catalog holds it unchanged. Without a catalog every file has it.
  const ChangeCatalog* catalog = nullptr;
  // Told of every file and folder the scan leaves out, with the reason its
  // log line gives (a dry run lists them). Called from the scan's workers.
  std::function<void(const std::wstring& path, std::wstring_view reason)> skipped;
  // Once this is true the walk goes no deeper: what it found is no longer
  // wanted (a cancelled run, a preview of a job that changed meanwhile).
  const std::atomic<bool>* stop = nullptr;

  std::mutex processedLock;
  PathSet processedFolders;  // guarded by processedLock
  std::mutex resultsLock;
  std::vector<ScannedFolder> results;           // guarded by resultsLock during the scan
  std::vector<IncludeFailure> includeFailures;  // guarded by resultsLock during the scan
  // Folders and entries that could not be read: each is logged and is an
  // error of the run.
  std::atomic<uint32_t> unreadableEntries{0};
  RunLog& log;

 private:
  bool Logs(uint32_t option) const { return (options & option) != 0; }
  void AddOneExcludeFolder(std::wstring_view entry);
  // Whether `name` in the open folder `folder` is one of the job's own outputs.
  bool IsOwnOutput(const platform::Folder& folder, const std::wstring& name) const;
  void Skip(const std::wstring& path, std::wstring_view reason) const;
  // Takes the listed `entries` of the open `folder` into `scanned` (files and
  // links) and walks its subfolders; true when a subfolder was saved.
  bool TakeEntries(int32_t taskNumber, const platform::Folder& folder,
                   std::vector<platform::DirectoryEntry>& entries, ScannedFolder* scanned);
  // Leaves out `item` of `folder`: its "Skip" line when `logOption` is set.
  void SkipEntry(int32_t taskNumber, const std::wstring& folder,
                 const platform::DirectoryEntry& item, uint32_t logOption, const wchar_t* reason);
  // Logs and counts what could not be read.
  void CannotRead(int32_t taskNumber, const std::wstring& path, int error);
  // Whether the file entry passes every filter and, for a run that takes
  // only changed files, whether it changed; logs the rejection.
  // `nativeFolder` is the folder's path as bytes, for the catalog.
  enum class FileVerdict { kLeftOut, kTaken, kUnchanged };
  FileVerdict TakesFile(int32_t taskNumber, const std::wstring& folder,
                        std::string_view nativeFolder, const platform::DirectoryEntry& file);
  // Adds a taken file to `scanned`; true for an unchanged one, which keeps
  // its folder in the result.
  static bool Take(FileVerdict verdict, const platform::DirectoryEntry& item,
                   ScannedFolder* scanned);
  bool HasArchiveBit(std::string_view nativeFolder, const platform::DirectoryEntry& file) const;
};

}  // namespace kelvane
