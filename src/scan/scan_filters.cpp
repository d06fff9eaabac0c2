// Preparing the filters of a scan and the folder exclusion test.
#include "platform/list_split.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/wildcard.h"
#include "scan/scan_context.h"
#include "util/ascii_case.h"
#include "util/path_util.h"
#include "util/trim.h"

namespace kelvane {

uint32_t PathHash(std::wstring_view text) {
  uint32_t hash = 0x811C9DC5;
  auto add = [&hash](uint32_t unit) {
    hash = (hash ^ (unit & 0xFF)) * 0x01000193;
    hash = (hash ^ (unit >> 8)) * 0x01000193;
  };
  // The UTF-16 units of each character, without making the UTF-16 text:
  // the set of excluded folders hashes every entry of a job's list.
  for (const wchar_t c : text) {
    const auto point = static_cast<uint32_t>(c);
    if (point < 0x10000) {
      add(point);
    } else {
      add(0xD800 + ((point - 0x10000) >> 10));
      add(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return hash;
}

void ScanContext::SetFileFilter(std::wstring& spec, std::wstring_view list) {
  std::vector<std::wstring> entries;
  for (const std::wstring_view piece : platform::SplitList(list, L";"))
    entries.push_back(Trim(piece));
  platform::SortUniqueByUtf16(entries);

  spec.clear();
  for (const std::wstring& entry : entries) {
    if (entry == L"*" || entry == L"*.*") {
      spec.clear();
    } else if (!entry.empty()) {
      if (!spec.empty()) spec.push_back(L';');
      spec += entry;
    }
  }
}

void ScanContext::AddExcludeFolder(std::wstring_view entry) {
  AddExcludeFolders({entry}, [] { return false; });
}

bool ScanContext::AddExcludeFolders(const std::vector<std::wstring_view>& entries,
                                    const std::function<bool()>& stopRequested) {
  excludedFolderPaths.reserve(excludedFolderPaths.size() + entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i % 4096 == 4095 && stopRequested()) return false;
    AddOneExcludeFolder(entries[i]);
  }
  // Sorted once for all, not once an entry: a job may list a million.
  platform::SortUniqueByUtf16(excludedFolderPatterns);
  return true;
}

void ScanContext::AddOneExcludeFolder(std::wstring_view entry) {
  // Exactly as written: on Linux /src/Cache and /src/cache are two folders.
  std::wstring folder(entry);
  AddBackslash(folder);
  if (folder.find_first_of(L"?*") != std::wstring::npos) {
    excludedFolderPatterns.push_back(std::move(folder));
  } else {
    // Written the way the walk writes folder paths, so "/a//b" excludes /a/b.
    if (!folder.empty() && folder.front() == platform::kPathSeparator) {
      folder = NormalPath(folder);
      AddBackslash(folder);
    }
    excludedFolderPaths.insert(std::move(folder));
  }
}

bool ScanContext::IsExcludedFolder(int32_t taskNumber, std::wstring path) {
  if (excludedFolderPaths.empty() && excludedFolderPatterns.empty()) return false;
  AddBackslash(path);
  if (excludedFolderPaths.contains(path)) {
    if (Logs(kScanLogBlackList)) {
      log.WriteLogFormat(L"(%02ld) Folder: Skip %s, in Blacklist (path).", taskNumber, path);
    }
    Skip(path, L"in Blacklist (path)");
    return true;
  }
  for (const std::wstring& pattern : excludedFolderPatterns) {
    if (platform::MatchesPattern(path, pattern, platform::LetterCase::kExact)) {
      if (Logs(kScanLogBlackList)) {
        log.WriteLogFormat(L"(%02ld) Folder: Skip %s, in Blacklist (wildcard).", taskNumber, path);
      }
      Skip(path, L"in Blacklist (wildcard)");
      return true;
    }
  }
  return false;
}

}  // namespace kelvane
