#include "job/job_edits.h"

#include <algorithm>

#include "util/format_text.h"
#include "util/trim.h"

namespace kelvane {

bool AddIncludeFolder(BackupJob& job, const std::wstring& folder) {
  auto& folders = job.IncludeFolders;
  if (std::find(folders.begin(), folders.end(), folder) != folders.end()) return false;
  folders.push_back(folder);
  return true;
}

void RemoveIncludeFolders(BackupJob& job, const std::vector<std::wstring>& selected) {
  auto& folders = job.IncludeFolders;
  folders.erase(std::remove_if(folders.begin(), folders.end(),
                               [&](const std::wstring& folder) {
                                 return std::find(selected.begin(), selected.end(), folder) !=
                                        selected.end();
                               }),
                folders.end());
}

std::wstring AppendExcludeFolder(std::wstring_view excludeFolders, std::wstring_view folder) {
  const std::wstring joined = Trim(excludeFolders) + L"|" + std::wstring(folder);
  std::wstring text;
  for (const wchar_t c : joined) {
    if (c == L'|') {
      text += L"\r\n";
    } else {
      text.push_back(c);
    }
  }
  return text;
}

std::wstring WithoutRefusedNameCharacters(std::wstring_view name) {
  std::wstring kept;
  for (const wchar_t c : name) {
    if (kRefusedNameCharacters.find(c) == std::wstring_view::npos) kept.push_back(c);
  }
  return kept;
}

bool IsStartable(const BackupJob& job) {
  return !job.IncludeFolders.empty() && !job.WhiteList.empty() && !job.ArchiveFolder.empty() &&
         !job.ArchiveName.empty();
}

std::wstring EditorTitle(std::wstring_view jobPath) {
  return jobPath.empty() ? std::wstring(L"Kelvane") : L"Kelvane - " + std::wstring(jobPath);
}

std::wstring JobName(std::wstring_view jobPath, const BackupJob& job) {
  if (jobPath.empty()) return job.ArchiveName;
  std::wstring_view name = jobPath.substr(jobPath.rfind(L'/') + 1);
  if (name.ends_with(L".kvnjob") && name.size() > 7) name.remove_suffix(7);
  return std::wstring(name);
}

std::wstring LevelText(const BackupJob& job) {
  return FormatText(L"%ld", static_cast<long>(static_cast<int32_t>(job.ArchiveCompLevel)));
}

}  // namespace kelvane
