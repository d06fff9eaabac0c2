#include "job/backup_job.h"

#include <algorithm>
#include <climits>

#include "job/job_lists.h"
#include "job/password_codec.h"
#include "util/text_util.h"

namespace kelvane {
namespace {

void ReadBool(const JsonDocument& doc, const JsonNode* backup, std::string_view key, bool* value) {
  const JsonNode* member = doc.Find(backup, key);
  // Only the literal true counts; a number 1 does not.
  *value = member && member->kind == JsonKind::kBool && member->intValue != 0;
}

void ReadNumber(const JsonDocument& doc, const JsonNode* backup, std::string_view key,
                uint32_t* value) {
  int32_t number = 0;
  doc.GetInt(backup, key, &number);
  *value = static_cast<uint32_t>(number);
}

void ReadText(const JsonDocument& doc, const JsonNode* backup, std::string_view key,
              std::wstring* value) {
  value->clear();
  doc.GetText(backup, key, value);
}

// A list member into a list text; false when it is missing or not an array.
bool ReadList(const JsonDocument& doc, const JsonNode* backup, std::string_view key,
              std::wstring* value) {
  value->clear();
  const JsonNode* list = doc.Find(backup, key);
  if (!list || list->kind != JsonKind::kArray) return false;
  std::vector<std::wstring> entries;
  entries.reserve(list->children.size());
  for (const auto& element : list->children) entries.push_back(JsonDocument::ValueText(element.get()));
  *value = JoinListEntries(entries);
  return true;
}

bool WriteList(JsonDocument& doc, JsonNode* backup, std::string_view key, std::wstring_view text) {
  JsonNode* array = doc.AddArray(backup, key);
  if (!array) return false;
  for (const std::wstring& entry : ListEntriesForSaving(text)) {
    if (!doc.AddString(array, {}, entry)) return false;
  }
  return true;
}

}  // namespace

BackupJob::BackupJob() = default;

void BackupJob::SetDefaults() {
  const BackupJob defaults;
  IncludeFolders.clear();
  BlackList = defaults.BlackList;
  WhiteList = defaults.WhiteList;
  ExcludeFolders = defaults.ExcludeFolders;
  ArchiveFolder = defaults.ArchiveFolder;
  ArchiveName = defaults.ArchiveName;
  ArchivePassword = defaults.ArchivePassword;
  Type = defaults.Type;
  LogFolder = defaults.LogFolder;
  LogFiles = defaults.LogFiles;
  LogBlackList = defaults.LogBlackList;
  LogErrors = defaults.LogErrors;
  LogRemoveLog = defaults.LogRemoveLog;
  SkipFilesWithoutExtension = defaults.SkipFilesWithoutExtension;
  ArchiveBitGet = defaults.ArchiveBitGet;
  ArchiveBitSet = defaults.ArchiveBitSet;
  IncludeSystemFiles = defaults.IncludeSystemFiles;
  IncludeHiddenFiles = defaults.IncludeHiddenFiles;
  Modified = defaults.Modified;
  ArchivePasswordUnreadable = defaults.ArchivePasswordUnreadable;
}

bool BackupJob::ReadJob(const JsonDocument& doc) {
  const JsonNode* backup = doc.Find(nullptr, "Backup");
  if (!backup || backup->kind != JsonKind::kObject) return false;

  ExcludeFolders.clear();
  IncludeFolders.clear();

  ReadNumber(doc, backup, "Type", &Type);
  ReadText(doc, backup, "ArchiveFolder", &ArchiveFolder);
  ReadText(doc, backup, "ArchiveName", &ArchiveName);
  ReadText(doc, backup, "ArchivePassword", &ArchivePassword);
  ReadNumber(doc, backup, "ArchiveCompLevel", &ArchiveCompLevel);
  ReadBool(doc, backup, "AddDate", &AddDate);
  ReadBool(doc, backup, "Overwrite", &Overwrite);
  const std::optional<std::wstring> password = DecodePassword(ArchivePassword);
  ArchivePasswordUnreadable = !password;
  ArchivePassword = password.value_or(L"");
  ReadBool(doc, backup, "LogFolder", &LogFolder);
  ReadBool(doc, backup, "LogFiles", &LogFiles);
  ReadBool(doc, backup, "LogBlackList", &LogBlackList);
  ReadBool(doc, backup, "LogErrors", &LogErrors);
  ReadBool(doc, backup, "LogRemoveLog", &LogRemoveLog);
  ReadBool(doc, backup, "SkipFilesWithoutExtension", &SkipFilesWithoutExtension);
  ReadBool(doc, backup, "ArchiveBitGet", &ArchiveBitGet);
  ReadBool(doc, backup, "ArchiveBitSet", &ArchiveBitSet);
  ReadBool(doc, backup, "IncludeSystemFiles", &IncludeSystemFiles);
  ReadBool(doc, backup, "IncludeHiddenFiles", &IncludeHiddenFiles);
  if (ArchiveCompLevel == 0) ArchiveCompLevel = 9;

  if (!ReadList(doc, backup, "WhiteList", &WhiteList)) return false;
  if (!ReadList(doc, backup, "BlackList", &BlackList)) return false;

  const JsonNode* include = doc.Find(backup, "IncludeFolders");
  if (!include || include->kind != JsonKind::kArray) return false;
  for (const auto& element : include->children) {
    IncludeFolders.push_back(JsonDocument::ValueText(element.get()));
  }
  return ReadList(doc, backup, "ExcludeFolders", &ExcludeFolders);
}

bool WriteJobToDocument(const BackupJob& job, JsonDocument& doc) {
  doc.Clear();
  JsonNode* root = doc.AddObject(nullptr);
  JsonNode* backup = root ? doc.AddObject(root, "Backup") : nullptr;
  if (!backup) return false;

  const bool scalars =
      doc.AddNumber(backup, "Type", job.Type) &&
      doc.AddString(backup, "ArchiveFolder", job.ArchiveFolder) &&
      doc.AddString(backup, "ArchiveName", job.ArchiveName) &&
      doc.AddString(backup, "ArchivePassword", EncodePassword(job.ArchivePassword)) &&
      doc.AddNumber(backup, "ArchiveCompLevel", job.ArchiveCompLevel) &&
      doc.AddBool(backup, "AddDate", job.AddDate) &&
      doc.AddBool(backup, "Overwrite", job.Overwrite) &&
      doc.AddBool(backup, "LogFolder", job.LogFolder) &&
      doc.AddBool(backup, "LogFiles", job.LogFiles) &&
      doc.AddBool(backup, "LogBlackList", job.LogBlackList) &&
      doc.AddBool(backup, "LogErrors", job.LogErrors) &&
      doc.AddBool(backup, "LogRemoveLog", job.LogRemoveLog) &&
      doc.AddBool(backup, "SkipFilesWithoutExtension", job.SkipFilesWithoutExtension) &&
      doc.AddBool(backup, "ArchiveBitGet", job.ArchiveBitGet) &&
      doc.AddBool(backup, "ArchiveBitSet", job.ArchiveBitSet) &&
      doc.AddBool(backup, "IncludeSystemFiles", job.IncludeSystemFiles) &&
      doc.AddBool(backup, "IncludeHiddenFiles", job.IncludeHiddenFiles);
  if (!scalars) return false;

  if (!WriteList(doc, backup, "WhiteList", job.WhiteList)) return false;
  if (!WriteList(doc, backup, "BlackList", job.BlackList)) return false;
  JsonNode* include = doc.AddArray(backup, "IncludeFolders");
  if (!include) return false;
  for (const std::wstring& folder : job.IncludeFolders) {
    if (!doc.AddString(include, {}, folder)) return false;
  }
  return WriteList(doc, backup, "ExcludeFolders", job.ExcludeFolders);
}

uint32_t ParseLevelText(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsTrimSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - L'0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
  return static_cast<uint32_t>(static_cast<int32_t>(value));
}

}  // namespace kelvane
