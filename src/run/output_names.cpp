#include "run/output_names.h"

#include <utility>

#include "job/backup_job.h"
#include "manifest/manifest_line.h"
#include "platform/file_system.h"
#include "util/path_util.h"
#include "util/time_estimate.h"

namespace kelvane {

TargetNames NameTarget(const BackupJob& job, const std::wstring& dateSuffix) {
  TargetNames names;
  names.archivePath = job.ArchiveFolder;
  AddBackslash(names.archivePath);
  names.logPath = names.archivePath + job.ArchiveName + L".log";
  names.lastRunPath = names.archivePath + job.ArchiveName + L".kvnlast.json";
  names.targetName = job.ArchiveName;
  if (job.AddDate) names.targetName += dateSuffix;
  names.targetName += TargetExtension(job.Type);
  names.archivePath += names.targetName;
  if (job.Type == kJobTypeFolder) AddBackslash(names.archivePath);
  return names;
}

bool IsUsableArchiveName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(std::wstring_view(L"/\0", 2)) == std::wstring::npos;
}

const wchar_t* TargetExtension(uint32_t type) {
  switch (type) {
    case kJobTypeZip: return L".zip";
    case kJobTypeSevenZip: return L".7z";
    default: return L"";
  }
}

OutputNames::OutputNames(std::wstring archiveName, std::wstring extension)
    : name_(std::move(archiveName)), extension_(std::move(extension)) {}

bool OutputNames::IsTarget(std::wstring_view name) const {
  if (!name.starts_with(name_) || !name.ends_with(extension_) ||
      name.size() < name_.size() + extension_.size()) {
    return false;
  }
  const std::wstring_view middle =
      name.substr(name_.size(), name.size() - name_.size() - extension_.size());
  return middle.empty() || IsDateSuffix(middle);
}

std::optional<platform::CalendarTime> OutputNames::DateOf(std::wstring_view target) const {
  if (!IsTarget(target) || target.size() == name_.size() + extension_.size()) return std::nullopt;
  // "_YYYY-MM-DD_HH-MM", every digit checked by IsTarget.
  const std::wstring_view date = target.substr(name_.size() + 1);
  auto number = [&date](size_t at, size_t digits) {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i) value = value * 10 + (date[i] - L'0');
    return value;
  };
  platform::CalendarTime time;
  time.year = number(0, 4);
  time.month = number(5, 2);
  time.day = number(8, 2);
  time.hour = number(11, 2);
  time.minute = number(14, 2);
  return time;
}

bool OutputNames::IsManifest(std::wstring_view name) const {
  const std::wstring_view suffix = kManifestSuffix;
  return name.ends_with(suffix) && IsTarget(name.substr(0, name.size() - suffix.size()));
}

bool OutputNames::IsTemporary(std::wstring_view name) const {
  if (!name.starts_with(L".")) return false;
  // "." + target or catalog + the temporary mark: find where the name ends.
  const size_t mark = name.rfind(L".kvn-");
  if (mark == std::wstring_view::npos) return false;
  const std::wstring_view stem = name.substr(1, mark - 1);
  const bool ours =
      stem == CatalogName() || stem == LastRunName() || IsManifest(stem) || IsTarget(stem);
  return ours && platform::IsTemporaryName(name, name.substr(0, mark));
}

bool OutputNames::IsOwnOutput(std::wstring_view name) const {
  return name == LogName() || name == LockName() || name == CatalogName() ||
         name == LastRunName() || IsTarget(name) || IsManifest(name) || IsTemporary(name);
}

}  // namespace kelvane
