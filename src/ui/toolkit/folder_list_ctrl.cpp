#include "ui/toolkit/folder_list_ctrl.h"

#include <wx/artprov.h>
#include <wx/dnd.h>

#include "platform/file_system.h"
#include "platform/folder.h"

namespace kelvane::ui {
namespace {

class FolderDropTarget : public wxFileDropTarget {
 public:
  explicit FolderDropTarget(std::function<void(const std::wstring&)> onFolder)
      : onFolder_(std::move(onFolder)) {}

  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
    bool taken = false;
    for (const wxString& name : names) {
      std::wstring path = name.ToStdWstring();
      platform::Folder folder;
      if (path.empty() || !platform::Fs().OpenFolder(path, &folder).ok()) continue;
      if (path.back() != L'/') path += L'/';
      onFolder_(path);
      taken = true;
    }
    return taken;
  }

 private:
  std::function<void(const std::wstring&)> onFolder_;
};

}  // namespace

CVxNewListControl::CVxNewListControl(wxWindow* parent, int id, const wxString& header)
    : wxDataViewListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                         wxDV_MULTIPLE | wxDV_ROW_LINES) {
  icon_ = wxArtProvider::GetBitmapBundle(wxART_FOLDER, wxART_LIST);
  if (!icon_.IsOk()) icon_ = wxArtProvider::GetBitmapBundle(wxART_NEW_DIR, wxART_LIST);
  AppendIconTextColumn(header, wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE);
}

void CVxNewListControl::SetFolders(const std::vector<std::wstring>& folders) {
  DeleteAllItems();
  folders_ = folders;
  for (const std::wstring& folder : folders) {
    wxVector<wxVariant> row;
    row.push_back(wxVariant(wxDataViewIconText(wxString(folder), icon_)));
    AppendItem(row);
  }
}

std::vector<std::wstring> CVxNewListControl::SelectedFolders() const {
  std::vector<std::wstring> selected;
  for (int row = 0; row < GetItemCount() && row < static_cast<int>(folders_.size()); ++row) {
    if (IsRowSelected(row)) selected.push_back(folders_[row]);
  }
  return selected;
}

void CVxNewListControl::AcceptDroppedFolders(
    std::function<void(const std::wstring& folder)> onDropFolder) {
  SetDropTarget(new FolderDropTarget(std::move(onDropFolder)));
}

}  // namespace kelvane::ui
