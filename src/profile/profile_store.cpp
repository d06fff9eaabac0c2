#include "profile/profile_store.h"

#include "json/json_document.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "util/path_util.h"

namespace kelvane {

std::wstring ProfileStore::DefaultPath() {
  return platform::ConfigHome() + L"/Dravolo/Kelvane/profile.json";
}

ProfileStore::ProfileStore(std::wstring path) : path_(std::move(path)) {
  JsonDocument doc;
  // A profile that cannot be read is one without settings: the defaults hold.
  if (!doc.LoadFile(path_).ok() || doc.root()->kind != JsonKind::kObject) return;
  for (const auto& section : doc.root()->children) {
    if (section->kind != JsonKind::kObject) continue;
    auto& values = sections_[section->key];
    for (const auto& value : section->children) {
      if (value->kind == JsonKind::kNumber) {
        values[value->key] = value->intValue;
      } else if (value->kind == JsonKind::kString) {
        values[value->key] = platform::FromNative(value->stringValue);
      }
    }
  }
}

int32_t ProfileStore::GetInt(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  const auto found = sections_.find(section);
  if (found == sections_.end()) return fallback;
  const auto value = found->second.find(std::string(key));
  if (value == found->second.end() || !std::holds_alternative<int32_t>(value->second)) {
    return fallback;
  }
  return std::get<int32_t>(value->second);
}

std::wstring ProfileStore::GetString(std::string_view section, std::string_view key,
                                     std::wstring_view fallback) const {
  const auto found = sections_.find(section);
  if (found == sections_.end()) return std::wstring(fallback);
  const auto value = found->second.find(std::string(key));
  if (value == found->second.end() || !std::holds_alternative<std::wstring>(value->second)) {
    return std::wstring(fallback);
  }
  return std::get<std::wstring>(value->second);
}

uint32_t ProfileStore::WriteInt(std::string_view section, std::string_view key, int32_t value) {
  sections_[std::string(section)][std::string(key)] = value;
  return Save();
}

uint32_t ProfileStore::WriteString(std::string_view section, std::string_view key,
                                   std::wstring_view value) {
  sections_[std::string(section)][std::string(key)] = std::wstring(value);
  return Save();
}

uint32_t ProfileStore::Save() {
  JsonDocument doc;
  JsonNode* root = doc.AddObject(nullptr);
  for (const auto& [name, values] : sections_) {
    JsonNode* section = doc.AddObject(root, name);
    for (const auto& [key, value] : values) {
      if (std::holds_alternative<int32_t>(value)) {
        doc.AddNumber(section, key, static_cast<double>(std::get<int32_t>(value)));
      } else {
        doc.AddString(section, key, std::get<std::wstring>(value));
      }
    }
  }
  if (const int error = platform::Fs().CreateFolders(FolderOf(path_)).code(); error != 0) {
    return static_cast<uint32_t>(error);
  }
  return static_cast<uint32_t>(doc.SaveFile(path_).code());
}

}  // namespace kelvane
