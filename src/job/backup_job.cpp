#include "job/backup_job.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <variant>

#include "job/job_lists.h"
#include "job/password_codec.h"
#include "job/scan_options.h"
#include "platform/text_codec.h"
#include "util/trim.h"

namespace kelvane {
namespace {

// A list member into a list text; false when it is missing or not an array.
bool ReadList(const JsonDocument& doc, const JsonNode* backup, std::string_view key,
              std::wstring* value) {
  value->clear();
  const JsonNode* list = doc.Find(backup, key);
  if (!list || list->kind != JsonKind::kArray) return false;
  std::vector<std::wstring> entries;
  entries.reserve(list->children.size());
  for (const auto& element : list->children)
    entries.push_back(JsonDocument::ValueText(element.get()));
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

// The job's settings in the order of the job file: the one list that reading,
// writing and the scan's options word follow. The password is enciphered in
// the file; `option` is the bit of the scan's options word a setting turns on.
struct Field {
  std::string_view key;
  std::variant<uint32_t BackupJob::*, std::wstring BackupJob::*, bool BackupJob::*> member;
  uint32_t option = 0;
  // Left out of the file while 0 (or empty), so jobs that never set it stay
  // as they were.
  bool omittedWhenZero = false;
};

const Field kFields[] = {
    {"Type", &BackupJob::Type},
    {"ArchiveFolder", &BackupJob::ArchiveFolder},
    {"ArchiveName", &BackupJob::ArchiveName},
    {"ArchivePassword", &BackupJob::ArchivePassword},
    {"ArchiveCompLevel", &BackupJob::ArchiveCompLevel},
    {"AddDate", &BackupJob::AddDate},
    {"Overwrite", &BackupJob::Overwrite},
    {"LogFolder", &BackupJob::LogFolder, kScanLogFolder},
    {"LogFiles", &BackupJob::LogFiles, kScanLogFiles},
    {"LogBlackList", &BackupJob::LogBlackList, kScanLogBlackList},
    {"LogErrors", &BackupJob::LogErrors},
    {"LogRemoveLog", &BackupJob::LogRemoveLog},
    {"SkipFilesWithoutExtension", &BackupJob::SkipFilesWithoutExtension,
     kScanSkipFilesWithoutExtension},
    {"ArchiveBitGet", &BackupJob::ArchiveBitGet, kScanArchiveBitGet},
    {"ArchiveBitSet", &BackupJob::ArchiveBitSet},
    {"IncludeSystemFiles", &BackupJob::IncludeSystemFiles, kScanIncludeSystemFiles},
    {"IncludeHiddenFiles", &BackupJob::IncludeHiddenFiles, kScanIncludeHiddenFiles},
    {"IncludeLinks", &BackupJob::IncludeLinks, kScanIncludeLinks},
    {"TestFiles", &BackupJob::TestFiles},
    {"KeepLast", &BackupJob::KeepLast, 0, true},
    {"KeepDays", &BackupJob::KeepDays, 0, true},
    {"KeepWeeks", &BackupJob::KeepWeeks, 0, true},
    {"KeepMonths", &BackupJob::KeepMonths, 0, true},
    {"FullEvery", &BackupJob::FullEvery, 0, true},
    {"NotifyDesktop", &BackupJob::NotifyDesktop, 0, true},
    {"NotifyWebhook", &BackupJob::NotifyWebhook, 0, true},
    {"NotifyOn", &BackupJob::NotifyOn, 0, true},
};

// An array of texts that may be missing (then empty); what is not a text
// in it is left out.
void ReadTexts(const JsonDocument& doc, const JsonNode* backup, std::string_view key,
               std::vector<std::wstring>* texts) {
  texts->clear();
  const JsonNode* array = doc.Find(backup, key);
  if (!array || array->kind != JsonKind::kArray) return;
  for (const auto& element : array->children) {
    if (element->kind == JsonKind::kString)
      texts->push_back(JsonDocument::ValueText(element.get()));
  }
}

bool IsPassword(const Field& field) {
  return field.member == decltype(field.member)(&BackupJob::ArchivePassword);
}

}  // namespace

BackupJob::BackupJob() = default;

void BackupJob::SetDefaults() {
  BackupJob fresh;
  // What New keeps of the job it replaces.
  fresh.ArchiveCompLevel = ArchiveCompLevel;
  fresh.AddDate = AddDate;
  fresh.Overwrite = Overwrite;
  fresh.TestFiles = TestFiles;
  // On Linux the files people need back most often have no extension
  // (passwd, fstab, Makefile) or are hidden (~/.config), and a log or a
  // temporary file may be the one that matters: a new job takes them all.
  fresh.SkipFilesWithoutExtension = false;
  fresh.IncludeHiddenFiles = true;
  // A tree given back without its links is not the tree that was saved.
  fresh.IncludeLinks = true;
  fresh.BlackList.clear();
  *this = std::move(fresh);
}

bool BackupJob::ReadJob(const JsonDocument& doc) {
  const JsonNode* backup = doc.Find(nullptr, "Backup");
  if (!backup || backup->kind != JsonKind::kObject) return false;

  ExcludeFolders.clear();
  IncludeFolders.clear();
  wrongTypes.clear();
  // Missing members and members of another kind read as 0, empty or false.
  for (const Field& field : kFields) {
    const JsonNode* member = doc.Find(backup, field.key);
    auto checkKind = [&](JsonKind kind) {
      if (member && member->kind != kind)
        wrongTypes.push_back({platform::FromNative(field.key), {}});
    };
    if (const auto* number = std::get_if<uint32_t BackupJob::*>(&field.member)) {
      int32_t value = 0;
      doc.GetInt(backup, field.key, &value);
      this->*(*number) = static_cast<uint32_t>(value);
      checkKind(JsonKind::kNumber);
    } else if (const auto* text = std::get_if<std::wstring BackupJob::*>(&field.member)) {
      (this->*(*text)).clear();
      doc.GetText(backup, field.key, &(this->*(*text)));
      checkKind(JsonKind::kString);
    } else {
      // Only the literal true counts; a number 1 does not.
      this->*std::get<bool BackupJob::*>(field.member) =
          member && member->kind == JsonKind::kBool && member->intValue != 0;
      checkKind(JsonKind::kBool);
    }
  }
  const std::optional<std::wstring> password = DecodePassword(ArchivePassword);
  ArchivePasswordUnreadable = !password;
  ArchivePassword = password.value_or(L"");
  if (ArchiveCompLevel == 0) ArchiveCompLevel = 9;
  // What each member of the wrong type stands for now (a text of the wrong
  // type is always empty).
  for (WrongType& wrong : wrongTypes) {
    for (const Field& field : kFields) {
      if (platform::FromNative(field.key) != wrong.member) continue;
      if (const auto* number = std::get_if<uint32_t BackupJob::*>(&field.member)) {
        wrong.readAs = std::to_wstring(this->*(*number));
      } else if (std::holds_alternative<std::wstring BackupJob::*>(field.member)) {
        wrong.readAs = L"\"\"";
      } else {
        wrong.readAs = L"false";
      }
    }
  }

  if (!ReadList(doc, backup, "WhiteList", &WhiteList)) return false;
  if (!ReadList(doc, backup, "BlackList", &BlackList)) return false;

  const JsonNode* include = doc.Find(backup, "IncludeFolders");
  if (!include || include->kind != JsonKind::kArray) return false;
  for (const auto& element : include->children) {
    IncludeFolders.push_back(JsonDocument::ValueText(element.get()));
  }
  ReadTexts(doc, backup, "StorageLocations", &StorageLocations);
  ReadTexts(doc, backup, "NotifyMail", &NotifyMail);
  return ReadList(doc, backup, "ExcludeFolders", &ExcludeFolders);
}

uint32_t BackupJob::OptionsWord() const {
  uint32_t options = kScanCheckProcessedFolders;
  for (const Field& field : kFields) {
    if (const auto* flag = std::get_if<bool BackupJob::*>(&field.member); flag && this->*(*flag)) {
      options |= field.option;
    }
  }
  return options;
}

bool WriteJobToDocument(const BackupJob& job, JsonDocument& doc) {
  doc.Clear();
  JsonNode* root = doc.AddObject(nullptr);
  JsonNode* backup = root ? doc.AddObject(root, "Backup") : nullptr;
  if (!backup) return false;

  for (const Field& field : kFields) {
    bool added = false;
    if (const auto* number = std::get_if<uint32_t BackupJob::*>(&field.member)) {
      if (field.omittedWhenZero && job.*(*number) == 0) continue;
      added = doc.AddNumber(backup, field.key, job.*(*number)) != nullptr;
    } else if (const auto* text = std::get_if<std::wstring BackupJob::*>(&field.member)) {
      if (field.omittedWhenZero && (job.*(*text)).empty()) continue;
      added =
          doc.AddString(backup, field.key,
                        IsPassword(field) ? EncodePassword(job.*(*text)) : job.*(*text)) != nullptr;
    } else {
      added =
          doc.AddBool(backup, field.key, job.*std::get<bool BackupJob::*>(field.member)) != nullptr;
    }
    if (!added) return false;
  }

  if (!WriteList(doc, backup, "WhiteList", job.WhiteList)) return false;
  if (!WriteList(doc, backup, "BlackList", job.BlackList)) return false;
  JsonNode* include = doc.AddArray(backup, "IncludeFolders");
  if (!include) return false;
  for (const std::wstring& folder : job.IncludeFolders) {
    if (!doc.AddString(include, {}, folder)) return false;
  }
  // Written only when there are some: a job without keeps its file as it was.
  for (const auto& [key, texts] : {std::pair{"StorageLocations", &job.StorageLocations},
                                   std::pair{"NotifyMail", &job.NotifyMail}}) {
    if (texts->empty()) continue;
    JsonNode* array = doc.AddArray(backup, key);
    if (!array) return false;
    for (const std::wstring& text : *texts) {
      if (!doc.AddString(array, {}, text)) return false;
    }
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
