// The editor's further storage locations: the list on the security page,
// its commands, and the test that each location can hold backups.
#include <wx/busyinfo.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include <algorithm>

#include "language/language_table.h"
#include "platform/system_error.h"
#include "storage/location_view.h"
#include "storage/storage_location.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/windows/kelvane_document.h"
#include "ui/windows/location_dialog.h"
#include "util/template_format.h"

namespace kelvane::ui {

void CKelvaneDocument::BuildStorageGroup() {
  wxWindow* page = pages_->Page(kSecurityPage);
  pages_->AddGroup(kSecurityPage, Text(L"ui_security_more_storage_locations"));
  auto* bar = new wxBoxSizer(wxHORIZONTAL);
  for (const auto& [id, key] : {std::pair{kStorageAdd, L"ui_foldercmd_add"},
                                {kStorageEdit, L"ui_foldercmd_edit"},
                                {kStorageRemove, L"ui_foldercmd_remove"},
                                {kStorageTest, L"ui_location_test"}}) {
    storageButtons_.push_back(new wxButton(page, id, Text(key)));
    bar->Add(storageButtons_.back(), 0, wxRIGHT, FromDIP(4));
  }
  pages_->AddWide(kSecurityPage, bar);
  storageList_ = new CVxNewListControl(page, kStorageList, Text(L"ui_foldercolumn_path"));
  storageList_->SetMinSize(wxSize(-1, FromDIP(120)));
  SetAccessibleName(storageList_, Text(L"ui_security_more_storage_locations"));
  pages_->AddWide(kSecurityPage, storageList_, 1);
  AddHint(kSecurityPage, L"ui_location_hint", {storageList_});
  storageHint_ = AddHint(kSecurityPage, L"ui_location_folder_job", {});
  BindStorageCommands();
}

void CKelvaneDocument::BindStorageCommands() {
  BindCommand(kStorageAdd, [this] { AddStorageLocation(); });
  BindCommand(kStorageEdit, [this] { EditStorageLocation(); });
  BindCommand(kStorageRemove, [this] { RemoveStorageLocations(); });
  BindCommand(kStorageTest, [this] { TestStorageLocations(); });
  storageList_->Bind(wxEVT_DATAVIEW_ITEM_ACTIVATED,
                     [this](wxDataViewEvent&) { EditStorageLocation(); });
}

void CKelvaneDocument::SetStorageLocations(std::vector<std::wstring> locations) {
  job_.StorageLocations = std::move(locations);
  storageList_->SetFolders(job_.StorageLocations);
  Changed();
}

void CKelvaneDocument::AddStorageLocation() {
  const std::optional<std::wstring> added = AskStorageLocation(this, texts_, L"");
  if (!added) return;
  std::vector<std::wstring> locations = job_.StorageLocations;
  if (std::find(locations.begin(), locations.end(), *added) != locations.end()) return;
  locations.push_back(*added);
  SetStorageLocations(std::move(locations));
}

void CKelvaneDocument::EditStorageLocation() {
  const std::vector<std::wstring> selected = storageList_->SelectedFolders();
  if (selected.size() != 1) return;
  const std::optional<std::wstring> edited = AskStorageLocation(this, texts_, selected[0]);
  if (!edited || *edited == selected[0]) return;
  std::vector<std::wstring> locations = job_.StorageLocations;
  std::replace(locations.begin(), locations.end(), selected[0], *edited);
  SetStorageLocations(std::move(locations));
}

void CKelvaneDocument::RemoveStorageLocations() {
  const std::vector<std::wstring> selected = storageList_->SelectedFolders();
  if (selected.empty()) return;
  std::vector<std::wstring> locations = job_.StorageLocations;
  std::erase_if(locations, [&selected](const std::wstring& location) {
    return std::find(selected.begin(), selected.end(), location) != selected.end();
  });
  SetStorageLocations(std::move(locations));
}

// Each location in turn: a small file written, read back and removed; the
// results in one message, a line each.
void CKelvaneDocument::TestStorageLocations() {
  if (job_.StorageLocations.empty()) return;
  std::wstring said;
  bool allGood = true;
  {
    wxBusyCursor busy;
    platform::Folder root;
    platform::Folder scratch;
    std::wstring scratchName;
    platform::Status status = OpenScratchRoot(&root);
    if (status.ok()) {
      status = platform::Fs().MakeTemporaryFolder(root, L".kvn-test", &scratchName, &scratch);
    }
    for (const std::wstring& where : job_.StorageLocations) {
      std::unique_ptr<StorageLocation> location = MakeStorageLocation(where, nullptr);
      platform::Status tested = status;
      if (tested.ok() && !location) {
        tested = platform::Status::Error(platform::kErrorProgramFailed,
                                         L"neither an absolute folder nor an rclone remote");
      } else if (tested.ok()) {
        tested = ProbeLocation(*location, scratch);
      }
      allGood = allGood && tested.ok();
      said += (said.empty() ? L"" : L"\n") +
              (tested.ok() ? PrintFEx(texts_.GetText(L"ui_location_test_ok"), {where})
                           : PrintFEx(texts_.GetText(L"ui_location_test_failed"),
                                      {where, LocationFailureText(where, tested)}));
    }
    if (scratch.IsOpen()) (void)platform::Fs().RemoveTree(root, scratchName);
  }
  Dialogs().ShowMessage(this, said, !allGood);
}

}  // namespace kelvane::ui
