// A list of folders with the desktop theme's folder icon, one column with a
// header, several rows selectable; folders dropped on it from a file manager
// are reported (dropped files are not). A native GTK tree view underneath.
#pragma once

#include <wx/dataview.h>

#include <functional>
#include <string>
#include <vector>

namespace kelvane::ui {

class CVxNewListControl : public wxDataViewListCtrl {
 public:
  CVxNewListControl(wxWindow* parent, int id, const wxString& header);

  // Shows `folders` in their order.
  void SetFolders(const std::vector<std::wstring>& folders);
  const std::vector<std::wstring>& folders() const { return folders_; }
  // The paths of the selected rows.
  std::vector<std::wstring> SelectedFolders() const;

  // Takes folders dropped on the list; each reaches `onDropFolder` with a
  // final "/".
  void AcceptDroppedFolders(std::function<void(const std::wstring& folder)> onDropFolder);

 private:
  wxBitmapBundle icon_;
  std::vector<std::wstring> folders_;
};

}  // namespace kelvane::ui
