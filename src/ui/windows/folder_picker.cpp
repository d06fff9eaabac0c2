#include "ui/windows/folder_picker.h"

#include <cstdint>
#include <cstring>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/random_bytes.h"
#include "profile/profile_store.h"
#include "ui/toolkit/dialog_services.h"
#include "util/format_text.h"
#include "util/path_util.h"

namespace kelvane::ui {
namespace {

constexpr char kSection[] = "BrowseFolders";

bool IsFolder(const std::wstring& path) {
  platform::Folder folder;
  return platform::Fs().OpenFolder(path, &folder).ok();
}

}  // namespace

std::wstring StartFolder(const std::wstring& path, const std::wstring& home) {
  if (path.empty() || path.front() != L'/') return home;
  std::wstring at = NormalPath(path);
  while (!IsFolder(at)) {
    if (at == L"/") return home;
    const std::wstring parent = NormalPath(FolderOf(at));
    if (parent.size() >= at.size()) return home;
    at = parent;
  }
  return at;
}

std::wstring NewPurposeId() {
  uint8_t bytes[16] = {};
  if (platform::RandomBytes(bytes, sizeof bytes) != 0) {
    // Without the system's random bytes, the time still tells two ids apart.
    const uint64_t parts[2] = {static_cast<uint64_t>(platform::Time().WallSeconds()),
                               static_cast<uint64_t>(platform::Time().MonotonicMicros())};
    std::memcpy(bytes, parts, sizeof bytes);
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the standard variant
  std::wstring id = L"{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) id += L"-";
    id += FormatText(L"%02X", static_cast<unsigned>(bytes[i]));
  }
  return id + L"}";
}

BrowseResult BrowseForFolder(std::wstring& path, wxWindow* owner, const std::string& purpose,
                             ProfileStore& profile, const std::wstring& title) {
  std::wstring start = path;
  if (start.empty()) start = profile.GetString(kSection, "LastDir_" + purpose, L"");
  start = StartFolder(start, platform::HomeFolder());
  std::wstring id = profile.GetString(kSection, "ID_" + purpose, L"");
  if (id.empty()) id = NewPurposeId();
  const auto chosen = Dialogs().ChooseFolder(owner, start, title);
  if (!chosen || chosen->empty()) {
    path = start;
    return kNoFolderChosen;
  }
  path = *chosen;
  if (path.back() != L'/') path += L'/';
  profile.WriteString(kSection, "LastDir_" + purpose, path);
  profile.WriteString(kSection, "ID_" + purpose, id);
  return kFolderChosen;
}

}  // namespace kelvane::ui
