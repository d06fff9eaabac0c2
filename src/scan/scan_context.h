// The scan of one run: turns a job's include folders into the list of files the
// run saves, leaving out excluded folders, links, mount points and the files
// that the job's attribute, extension, white-list and black-list rules reject.
//
// The run driver fills a fresh ScanContext from the job (includeFolders, the
// exclusions, the two list specs, options), then ScanSources (scan_sources.h)
// walks the include folders on worker threads. During the scan only
// processedFolders, results and unreadableFolders change, each under its own
// lock (or atomically); everything else is read-only. Afterwards `results` is
// the run's file list: one ScannedFolder per folder that has selected files,
// each folder after all of its subfolders (depth-first post-order) within one
// include folder.
//
// Every decision whose log option is set is written to the run log; folders
// that cannot be read are always logged and counted, because a backup that
// silently misses a folder would report success while losing data.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelvane {

// Bits of the scan's options word.
enum ScanOption : uint32_t {
  kScanSkipFilesWithoutExtension = 0x001,
  kScanCheckProcessedFolders = 0x002,
  kScanInTasks = 0x004,
  kScanLogFolder = 0x008,
  kScanLogFiles = 0x010,
  kScanLogBlackList = 0x020,
  kScanLogErrors = 0x040,
  kScanLogRemoveLog = 0x080,
  kScanArchiveBitSet = 0x100,
  kScanArchiveBitGet = 0x200,
  kScanIncludeSystemFiles = 0x400,
  kScanIncludeHiddenFiles = 0x800,
};

struct ScannedFile {
  std::wstring name;
  uint64_t lastWriteTime = 0;  // FILETIME ticks
  uint64_t creationTime = 0;
  uint64_t lastAccessTime = 0;
  uint32_t attributes = 0;
  uint64_t size = 0;
};

struct ScannedFolder {
  std::wstring path;  // ends in the separator; a file's full path is path + name
  std::vector<ScannedFile> files;  // never empty
};

// FNV-1a (32 bits) over the text's UTF-16LE bytes.
uint32_t PathHash(std::wstring_view text);

class ScanContext {
 public:
  // Normalises a list text whose lines are already joined by ";" into `spec`:
  // entries trimmed, sorted by UTF-16 code unit, duplicates dropped; "*" or
  // "*.*" empties what was built so far. An empty spec switches the test off.
  static void SetFileFilter(std::wstring& spec, std::wstring_view list);

  // Adds one excluded folder: exact paths match in any case of A-Z, with or
  // without the final separator; entries with "*" or "?" are patterns matched
  // against the whole lowered folder path with its final separator.
  void AddExcludeFolder(std::wstring_view entry);

  bool IsExcludedFolder(int32_t taskNumber, std::wstring path);

  // Walks one include folder; `taskNumber` is the worker's number in log lines.
  void ScanIncludeFolder(int32_t taskNumber, const std::wstring& folder);
  void WalkFolder(int32_t taskNumber, std::wstring path);

  // Number of files over all of `results`.
  uint32_t CountFiles() const;

  std::vector<std::wstring> includeFolders;
  std::unordered_set<uint32_t> excludedFolderHashes;
  std::vector<std::wstring> excludedFolderPatterns;
  std::wstring whiteListSpec;
  std::wstring blackListSpec;
  uint32_t options = kScanCheckProcessedFolders | kScanInTasks;
  // The job's own outputs (its target, log and temporary files: name patterns
  // in ownOutputFolder) are never taken, so a source that holds the target
  // does not back up earlier backups into the new one.
  std::wstring ownOutputFolder;
  std::vector<std::wstring> ownOutputNames;

  std::mutex processedLock;
  std::unordered_set<uint32_t> processedFolders;  // guarded by processedLock
  std::mutex resultsLock;
  std::vector<ScannedFolder> results;  // guarded by resultsLock during the scan
  std::atomic<uint32_t> unreadableFolders{0};

 private:
  bool Logs(uint32_t option) const { return (options & option) != 0; }
  // Whether `name` in the folder `path` is one of the job's own outputs.
  bool IsOwnOutput(const std::wstring& path, const std::wstring& name, int* inOutputFolder);
  // Whether the file entry passes every filter; logs the rejection.
  bool TakesFile(int32_t taskNumber, const std::wstring& folder, const ScannedFile& file);
};

}  // namespace kelvane
