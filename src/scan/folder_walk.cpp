// The recursive, filtered walk of one folder tree.
#include <utility>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/wildcard.h"
#include "scan/change_catalog.h"
#include "scan/scan_context.h"
#include "util/error_text.h"
#include "util/path_util.h"

namespace kelvane {

using namespace platform;

namespace {

ScannedFile ScannedOf(const DirectoryEntry& item) {
  ScannedFile file;
  file.id = item.id;
  file.lastWriteTime = item.lastWriteTime;
  file.changeTime = item.changeTime;
  file.size = item.size;
  file.attributes = item.attributes;
  return file;
}

// The folder's own status, for its entry: a subfolder's as its parent
// listed it, an include folder's as it is now.
void TakeOwnStatus(const Folder& folder, const DirectoryEntry* listed, ScannedFolder* scanned) {
  DirectoryEntry own;
  if (listed) {
    own = *listed;
  } else if (Fs().DescribeFolder(folder, &own).ok()) {
    // Described as ".": hidden only by its own name.
    const std::wstring& path = scanned->path;
    const size_t name = path.find_last_of(kPathSeparator, path.size() - 2) + 1;
    own.attributes &= ~kAttributeHidden;
    if (path.size() > 1 && path[name] == L'.') own.attributes |= kAttributeHidden;
  } else {
    own.attributes = 040700u << 16;  // only its owner, if its status cannot be read
  }
  scanned->attributes = own.attributes;
  scanned->lastWriteTime = own.lastWriteTime;
  scanned->owner = own.owner;
  scanned->group = own.group;
}

}  // namespace

void ScanContext::ScanIncludeFolder(int32_t taskNumber, const std::wstring& folder) {
  // An empty entry (possible in a hand-written job) would mean the current
  // folder of whoever starts the run; it names nothing, so nothing is walked.
  if (folder.empty()) return;
  WalkFolder(taskNumber, folder);
}

bool ScanContext::IsOwnOutput(const Folder& folder, const std::wstring& name) const {
  return isOwnOutput && ownOutputFolder && folder.id() == *ownOutputFolder && isOwnOutput(name);
}

void ScanContext::Skip(const std::wstring& path, std::wstring_view reason) const {
  if (skipped) skipped(path, reason);
}

void ScanContext::SkipEntry(int32_t taskNumber, const std::wstring& folder,
                            const DirectoryEntry& item, uint32_t logOption, const wchar_t* reason) {
  if (Logs(logOption)) {
    log.WriteLogFormat((item.attributes & kAttributeDirectory) ? L"(%02ld) Folder: Skip %s%s, %s."
                                                               : L"(%02ld) File: Skip %s%s, %s.",
                       taskNumber, folder, item.name, reason);
  }
  Skip(folder + item.name, reason);
}

void ScanContext::CannotRead(int32_t taskNumber, const std::wstring& path, int error) {
  Skip(path, L"cannot be read");
  log.WriteLogFormat(L"(%02ld) Folder: Cannot read %s.%s", taskNumber, path,
                     ErrorText(static_cast<uint32_t>(error)));
  unreadableEntries.fetch_add(1, std::memory_order_relaxed);
}

bool ScanContext::HasArchiveBit(std::string_view nativeFolder, const DirectoryEntry& file) const {
  if (!catalog) return (file.attributes & kAttributeArchive) != 0;
  std::string path;
  path.reserve(nativeFolder.size() + file.nativeName.size());
  path.append(nativeFolder).append(file.nativeName);
  return !catalog->IsUnchanged(path, IdentityOf(file));
}

ScanContext::FileVerdict ScanContext::TakesFile(int32_t taskNumber, const std::wstring& folder,
                                                std::string_view nativeFolder,
                                                const DirectoryEntry& file) {
  const uint32_t a = file.attributes;
  auto skip = [&](const wchar_t* reason) {
    if (Logs(kScanLogFiles)) {
      log.WriteLogFormat(L"(%02ld) File: Skip %s%s, %s.", taskNumber, folder, file.name, reason);
    }
    Skip(folder + file.name, reason);
    return FileVerdict::kLeftOut;
  };
  if (a & kAttributeDevice) {
    // Reading a FIFO would block the run and a device has no content to save.
    return skip(L"not a regular file");
  }
  if ((a & kAttributeSystem) && !(options & kScanIncludeSystemFiles)) {
    return skip(L"FILE_ATTRIBUTE_SYSTEM");
  }
  if ((a & kAttributeHidden) && !(options & kScanIncludeHiddenFiles)) {
    return skip(L"FILE_ATTRIBUTE_HIDDEN");
  }
  if ((options & kScanSkipFilesWithoutExtension) && FileExtension(file.name).empty()) {
    return skip(L"no Extension");
  }
  if (!whiteListSpec.empty() && !MatchesAnyPattern(file.name, whiteListSpec)) {
    return skip(L"not in Whitelist");
  }
  if (!blackListSpec.empty() && MatchesAnyPattern(file.name, blackListSpec)) {
    return skip(L"in Blacklist");
  }
  // Asked last: only a file the job selects is one an earlier run keeps.
  if ((options & kScanArchiveBitGet) && !HasArchiveBit(nativeFolder, file)) {
    skip(L"FILE_ATTRIBUTE_ARCHIVE not set");
    return FileVerdict::kUnchanged;
  }
  if (Logs(kScanLogFiles)) {
    log.WriteLogFormat(L"(%02ld) File: Add %s%s.", taskNumber, folder, file.name);
  }
  return FileVerdict::kTaken;
}

// A folder that holds a file an earlier run keeps is part of the backup as
// much as one this run saves: its entry goes into the target and the
// manifest.
bool ScanContext::Take(FileVerdict verdict, const DirectoryEntry& item, ScannedFolder* scanned) {
  if (verdict == FileVerdict::kTaken) scanned->AddFile(ScannedOf(item), item.nativeName);
  return verdict == FileVerdict::kUnchanged;
}

bool ScanContext::TakeEntries(int32_t taskNumber, const Folder& folder,
                              std::vector<DirectoryEntry>& entries, ScannedFolder* scanned) {
  const std::wstring& path = scanned->path;
  bool holds = false;
  const std::string nativePath = catalog ? ToNative(path) : std::string();
  for (DirectoryEntry& item : entries) {
    const uint32_t a = item.attributes;
    const bool reparse = (a & kAttributeReparsePoint) != 0;
    if (item.error != 0) {
      // Only this entry is lost; the rest of the folder is still saved.
      log.WriteLogFormat(L"(%02ld) Cannot read %s%s.%s", taskNumber, path, item.name,
                         ErrorText(static_cast<uint32_t>(item.error)));
      Skip(path + item.name, L"cannot be read");
      unreadableEntries.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    if (IsOwnOutput(folder, item.name)) {
      SkipEntry(taskNumber, path, item, (a & kAttributeDirectory) ? kScanLogFolder : kScanLogFiles,
                L"output of this backup");
      continue;
    }
    if (reparse && item.reparseTag == kReparseTagSymlink && (options & kScanIncludeLinks)) {
      // Saved as a link, whatever it points to; what it points to is never
      // entered or read.
      item.attributes &= ~kAttributeDirectory;
      holds |= Take(TakesFile(taskNumber, path, nativePath, item), item, scanned);
      continue;
    }
    if (reparse) {  // a mount point, or a link not to be saved
      SkipEntry(taskNumber, path, item, kScanLogFolder,
                item.reparseTag == kReparseTagMountPoint ? L"IO_REPARSE_TAG_MOUNT_POINT"
                                                         : L"IO_REPARSE_TAG_SYMLINK");
      continue;
    }
    if (a & kAttributeDirectory) {
      holds |= WalkFolder(taskNumber, path + item.name, &folder, &item);
      continue;
    }
    holds |= Take(TakesFile(taskNumber, path, nativePath, item), item, scanned);
  }

  return holds;
}

bool ScanContext::WalkFolder(int32_t taskNumber, std::wstring path, const Folder* parent,
                             const DirectoryEntry* entry) {
  if (stop && stop->load(std::memory_order_relaxed)) return false;
  AddBackslash(path);
  if (options & kScanCheckProcessedFolders) {
    std::lock_guard<std::mutex> hold(processedLock);
    if (!processedFolders.insert(path).second) {
      if (Logs(kScanLogFolder)) {
        log.WriteLogFormat(L"(%02ld) Folder Skip %s already processed by another task.", taskNumber,
                           path);
      }
      Skip(path, L"already processed by another task");
      return false;
    }
  }
  if (IsExcludedFolder(taskNumber, path)) return false;
  if (Logs(kScanLogFolder)) {
    log.WriteLogFormat(L"(%02ld) Folder: Search in: %s.", taskNumber, path);
  }

  // A subfolder is opened inside its parent and only while it is the folder
  // the parent listed, so nothing swapped in since can lead the walk away.
  Folder folder;
  const int opened = (parent ? Fs().OpenSubfolder(*parent, entry->name, &entry->id, &folder)
                             : Fs().OpenFolder(path, &folder))
                         .code();
  // The whole listing is read before descending; the folder stays open so
  // that its subfolders are opened through it.
  std::vector<DirectoryEntry> entries;
  const int error = opened != 0 ? opened : Fs().ReadDirectory(folder, &entries).code();
  if (error != 0) {
    CannotRead(taskNumber, path, error);
    if (!parent) {
      std::lock_guard<std::mutex> hold(resultsLock);
      includeFailures.push_back(IncludeFailure{path, error});
    }
    return false;
  }

  ScannedFolder scanned{path, folder.id(), {}, {}};
  // An empty folder is saved as it is; any other only when it holds a saved
  // entry.
  const bool holds = TakeEntries(taskNumber, folder, entries, &scanned) || entries.empty();
  if (!holds && scanned.files.empty()) {
    if (Logs(kScanLogFolder)) {
      log.WriteLogFormat(L"(%02ld) Folder: Skip %s, no Files.", taskNumber, path);
    }
    return false;
  }
  TakeOwnStatus(folder, entry, &scanned);
  // Kept until the run ends: no room to spare.
  scanned.files.shrink_to_fit();
  scanned.names.shrink_to_fit();
  std::lock_guard<std::mutex> hold(resultsLock);
  results.push_back(std::move(scanned));
  return true;
}

void ScannedFolder::AddFile(ScannedFile file, std::string_view nativeName) {
  file.nameStart = static_cast<uint32_t>(names.size());
  names.append(nativeName);
  names.push_back('\0');
  files.push_back(file);
}

FileStatus ScannedFolder::OwnStatus() const {
  FileStatus status;
  status.mode = (attributes >> 16) & 07777;
  status.modifiedSeconds = UnixSecondsFromFileTime(lastWriteTime);
  status.owner = owner;
  status.group = group;
  return status;
}

std::wstring ScannedFolder::Name(const ScannedFile& file) const {
  return FromNative(NativeName(file));
}

uint32_t ScanContext::CountFiles() const {
  uint64_t count = 0;
  for (const ScannedFolder& folder : results) count += folder.files.size();
  return static_cast<uint32_t>(count);
}

}  // namespace kelvane
