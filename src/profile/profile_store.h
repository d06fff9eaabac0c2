// The user's preferences: sections of named numbers and texts in one JSON file,
// by default $XDG_CONFIG_HOME/Dravolo/Kelvane/profile.json.
//
// Read once at construction; every write saves the whole file atomically
// (temporary file, sync, rename), so a crash never leaves half a profile. A
// missing or unreadable profile reads as empty. One thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane {

class ProfileStore {
 public:
  explicit ProfileStore(std::wstring path = DefaultPath());

  static std::wstring DefaultPath();

  int32_t GetInt(std::string_view section, std::string_view key, int32_t fallback) const;
  std::wstring GetString(std::string_view section, std::string_view key,
                         std::wstring_view fallback) const;

  // Each returns 0 or the result of the save.
  uint32_t WriteInt(std::string_view section, std::string_view key, int32_t value);
  uint32_t WriteString(std::string_view section, std::string_view key, std::wstring_view value);

 private:
  using Value = std::variant<int32_t, std::wstring>;
  uint32_t Save();

  std::wstring path_;
  std::map<std::string, std::map<std::string, Value>, std::less<>> sections_;
};

}  // namespace kelvane
