// Preparing the filters of a scan and the folder exclusion test.
#include <algorithm>

#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/wildcard.h"
#include "scan/scan_context.h"
#include "util/path_util.h"
#include "util/trim.h"
#include "util/ascii_case.h"

namespace kelvane {
namespace {

bool Utf16Less(const std::wstring& a, const std::wstring& b) {
  return platform::CompareUtf16(a, b) < 0;
}

}  // namespace

uint32_t PathHash(std::wstring_view text) {
  uint32_t hash = 0x811C9DC5;
  auto mix = [&hash](uint8_t byte) { hash = (hash ^ byte) * 0x01000193; };
  for (wchar_t c : text) {
    auto code = static_cast<uint32_t>(c);
    if (code >= 0x10000 && code <= 0x10FFFF) {
      code -= 0x10000;
      const uint32_t high = 0xD800 + (code >> 10);
      const uint32_t low = 0xDC00 + (code & 0x3FF);
      mix(static_cast<uint8_t>(high)), mix(static_cast<uint8_t>(high >> 8));
      mix(static_cast<uint8_t>(low)), mix(static_cast<uint8_t>(low >> 8));
    } else {
      mix(static_cast<uint8_t>(code)), mix(static_cast<uint8_t>(code >> 8));
    }
  }
  return hash;
}

void ScanContext::SetFileFilter(std::wstring& spec, std::wstring_view list) {
  std::vector<std::wstring> entries;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(L';', pos);
    if (end == std::wstring_view::npos) end = list.size();
    if (end > pos) entries.push_back(Trim(list.substr(pos, end - pos)));
    pos = end + 1;
  }
  std::sort(entries.begin(), entries.end(), Utf16Less);
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());

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
  std::wstring folder(entry);
  AddBackslash(folder);
  folder = ToLowerAscii(folder);
  if (folder.find_first_of(L"?*") != std::wstring::npos) {
    excludedFolderPatterns.push_back(std::move(folder));
    std::sort(excludedFolderPatterns.begin(), excludedFolderPatterns.end(), Utf16Less);
    excludedFolderPatterns.erase(
        std::unique(excludedFolderPatterns.begin(), excludedFolderPatterns.end()),
        excludedFolderPatterns.end());
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
  path = ToLowerAscii(path);
  if (excludedFolderPaths.contains(path)) {
    if (Logs(kScanLogBlackList)) {
      log.WriteLogFormat(L"(%02ld) Folder: Skip %s, in Blacklist (path).", taskNumber,
                                  path);
    }
    return true;
  }
  for (const std::wstring& pattern : excludedFolderPatterns) {
    if (platform::MatchesPattern(path, pattern)) {
      if (Logs(kScanLogBlackList)) {
        log.WriteLogFormat(L"(%02ld) Folder: Skip %s, in Blacklist (wildcard).",
                                    taskNumber, path);
      }
      return true;
    }
  }
  return false;
}

}  // namespace kelvane
