// The recursive, filtered walk of one folder tree.
#include <utility>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/wildcard.h"
#include "run/run_log.h"
#include "scan/scan_context.h"
#include "util/error_text.h"
#include "util/path_util.h"

namespace kelvane {

using namespace platform;

void ScanContext::ScanIncludeFolder(int32_t taskNumber, const std::wstring& folder) {
  // An empty entry (possible in a hand-written job) would mean the current
  // folder of whoever starts the run; it names nothing, so nothing is walked.
  if (folder.empty()) return;
  WalkFolder(taskNumber, folder);
}

bool ScanContext::IsOwnOutput(const std::wstring& path, const std::wstring& name,
                              int* inOutputFolder) {
  bool named = false;
  for (const std::wstring& pattern : ownOutputNames) named = named || MatchesPattern(name, pattern);
  if (!named) return false;
  // Asked once per folder, and only when a name looks like an output.
  if (*inOutputFolder < 0) *inOutputFolder = Fs().IsSameFile(path, ownOutputFolder) ? 1 : 0;
  return *inOutputFolder == 1;
}

bool ScanContext::TakesFile(int32_t taskNumber, const std::wstring& folder,
                            const ScannedFile& file) {
  const uint32_t a = file.attributes;
  auto skip = [&](const wchar_t* format) {
    if (Logs(kScanLogFiles)) ProcessLog().WriteLogFormat(format, taskNumber, folder, file.name);
    return false;
  };
  if (a & kAttributeDevice) {
    // Reading a FIFO would block the run and a device has no content to save.
    return skip(L"(%02ld) File: Skip %s%s, not a regular file.");
  }
  if ((options & kScanArchiveBitGet) && !(a & kAttributeArchive)) {
    return skip(L"(%02ld) File: Skip %s%s, FILE_ATTRIBUTE_ARCHIVE not set.");
  }
  if ((a & kAttributeSystem) && !(options & kScanIncludeSystemFiles)) {
    return skip(L"(%02ld) File: Skip %s%s, FILE_ATTRIBUTE_SYSTEM.");
  }
  if ((a & kAttributeHidden) && !(options & kScanIncludeHiddenFiles)) {
    return skip(L"(%02ld) File: Skip %s%s, FILE_ATTRIBUTE_HIDDEN.");
  }
  if ((options & kScanSkipFilesWithoutExtension) && FileExtension(file.name).empty()) {
    return skip(L"(%02ld) File: Skip %s%s, no Extension.");
  }
  if (!whiteListSpec.empty() && !MatchesAnyPattern(file.name, whiteListSpec)) {
    return skip(L"(%02ld) File: Skip %s%s, not in Whitelist.");
  }
  if (!blackListSpec.empty() && MatchesAnyPattern(file.name, blackListSpec)) {
    return skip(L"(%02ld) File: Skip %s%s, in Blacklist.");
  }
  if (Logs(kScanLogFiles)) {
    ProcessLog().WriteLogFormat(L"(%02ld) File: Add %s%s.", taskNumber, folder, file.name);
  }
  return true;
}

void ScanContext::WalkFolder(int32_t taskNumber, std::wstring path) {
  AddBackslash(path);
  if (options & kScanCheckProcessedFolders) {
    std::lock_guard<std::mutex> hold(processedLock);
    if (!processedFolders.insert(PathHash(path)).second) {
      if (Logs(kScanLogFolder)) {
        ProcessLog().WriteLogFormat(L"(%02ld) Folder Skip %s already processed by another task.",
                                    taskNumber, path);
      }
      return;
    }
  }
  if (IsExcludedFolder(taskNumber, path)) return;
  if (Logs(kScanLogFolder)) {
    ProcessLog().WriteLogFormat(L"(%02ld) Folder: Search in: %s.", taskNumber, path);
  }

  // The whole listing is read before descending, so a deep tree never holds
  // one open folder per level.
  std::vector<DirectoryEntry> entries;
  if (const int error = Fs().ReadDirectory(path, &entries); error != 0) {
    ProcessLog().WriteLogFormat(L"(%02ld) Folder: Cannot read %s.%s", taskNumber, path,
                                ErrorText(static_cast<uint32_t>(error)));
    unreadableFolders.fetch_add(1, std::memory_order_relaxed);
    return;
  }

  ScannedFolder folder{path, {}};
  int inOutputFolder = -1;
  for (DirectoryEntry& entry : entries) {
    const uint32_t a = entry.attributes;
    const bool reparse = (a & kAttributeReparsePoint) != 0;
    if (!ownOutputNames.empty() && IsOwnOutput(path, entry.name, &inOutputFolder)) {
      const bool isFolder = (a & kAttributeDirectory) != 0;
      if (Logs(isFolder ? kScanLogFolder : kScanLogFiles)) {
        ProcessLog().WriteLogFormat(isFolder ? L"(%02ld) Folder: Skip %s%s, output of this backup."
                                             : L"(%02ld) File: Skip %s%s, output of this backup.",
                                    taskNumber, path, entry.name);
      }
      continue;
    }
    if (a & kAttributeDirectory) {
      if (reparse && entry.reparseTag == kReparseTagMountPoint) {
        if (Logs(kScanLogFolder)) {
          ProcessLog().WriteLogFormat(L"(%02ld) Folder: Skip %s%s, IO_REPARSE_TAG_MOUNT_POINT.",
                                      taskNumber, path, entry.name);
        }
      } else if (reparse && entry.reparseTag == kReparseTagSymlink) {
        if (Logs(kScanLogFolder)) {
          ProcessLog().WriteLogFormat(L"(%02ld) Folder: Skip %s%s, IO_REPARSE_TAG_SYMLINK.",
                                      taskNumber, path, entry.name);
        }
      } else {
        WalkFolder(taskNumber, path + entry.name);
      }
      continue;
    }
    if (reparse && entry.reparseTag == kReparseTagMountPoint) {
      if (Logs(kScanLogFolder)) {
        ProcessLog().WriteLogFormat(L"(%02ld) File: Skip %s%s, IO_REPARSE_TAG_MOUNT_POINT.",
                                    taskNumber, path, entry.name);
      }
      continue;
    }
    if (reparse && entry.reparseTag == kReparseTagSymlink) {
      if (Logs(kScanLogFolder)) {
        ProcessLog().WriteLogFormat(L"(%02ld) File: Skip %s%s, IO_REPARSE_TAG_SYMLINK.",
                                    taskNumber, path, entry.name);
      }
      continue;
    }
    ScannedFile file{std::move(entry.name), entry.lastWriteTime, entry.creationTime,
                     entry.lastAccessTime, a,  entry.size};
    if (TakesFile(taskNumber, path, file)) folder.files.push_back(std::move(file));
  }

  if (folder.files.empty()) {
    if (Logs(kScanLogFolder)) {
      ProcessLog().WriteLogFormat(L"(%02ld) Folder: Skip %s, no Files.", taskNumber, path);
    }
    return;
  }
  std::lock_guard<std::mutex> hold(resultsLock);
  results.push_back(std::move(folder));
}

uint32_t ScanContext::CountFiles() const {
  uint64_t count = 0;
  for (const ScannedFolder& folder : results) count += folder.files.size();
  return static_cast<uint32_t>(count);
}

}  // namespace kelvane
