// Choosing folders in the desktop's folder dialog, with a memory per
// purpose: the last folder chosen for it, kept in the profile section
// "BrowseFolders" as "LastDir_" + purpose, and the purpose's identifier as
// "ID_" + purpose (made on first use, stored only once a folder was chosen).
#pragma once

#include <string>

class wxWindow;

namespace kelvane {
class ProfileStore;
}

namespace kelvane::ui {

// The purposes of the job editor.
inline constexpr char kPurposeStorage[] = "Backup_Storeage";
inline constexpr char kPurposeInclude[] = "Backup_Include";
inline constexpr char kPurposeExclude[] = "Backup_Exclude";

enum BrowseResult : int { kFolderChosen = 1, kNoFolderChosen = 2 };

// Where a folder dialog opens for `path`: the path itself when it is a
// folder, else its nearest folder above, else `home`.
std::wstring StartFolder(const std::wstring& path, const std::wstring& home);

// A new identifier in the registry form of a GUID: braces, upper case.
std::wstring NewPurposeId();

// Asks for a folder in a dialog titled `title`, starting at `path` or, when
// it is empty, at the last folder of `purpose`. On kFolderChosen `path` is
// the chosen folder with a final "/" and the purpose's memory is written;
// otherwise `path` is the folder the dialog opened at and nothing is written.
BrowseResult BrowseForFolder(std::wstring& path, wxWindow* owner, const std::string& purpose,
                             ProfileStore& profile, const std::wstring& title);

}  // namespace kelvane::ui
