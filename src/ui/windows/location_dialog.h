// Asks for one further storage location: a folder chosen in the desktop's
// folder dialog, or an rclone remote typed ("REMOTE:PATH"), the remotes of
// the user's rclone configuration offered in the list.
#pragma once

#include <wx/window.h>

#include <optional>
#include <string>

namespace kelvane {
class LanguageTable;
}

namespace kelvane::ui {

// The location the user gave, starting from `current`; none when cancelled.
std::optional<std::wstring> AskStorageLocation(wxWindow* parent, const LanguageTable& texts,
                                               const std::wstring& current);

}  // namespace kelvane::ui
