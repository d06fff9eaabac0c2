#include "ui/windows/restore_dialog.h"

#include "language/language_table.h"
#include "platform/environment.h"
#include "platform/local_clock.h"
#include "platform/text_codec.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/svg_icons.h"
#include "ui/windows/folder_picker.h"
#include "util/byte_size.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane::ui {

using DARo3::kFixedHeight;
using DARo3::kFixedWidth;
using DARo3::kHorizontalGroup;
using DARo3::kVerticalGroup;

namespace {

constexpr char kPurposeRestore[] = "Restore_Target";

// An item's place in the dialog's list of paths.
class PathIndex final : public wxClientData {
 public:
  explicit PathIndex(size_t at) : index(at) {}
  size_t index;
};

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::wstring LocalTime(int64_t unixSeconds, const char* format) {
  platform::CalendarTime time;
  if (!platform::LocalCalendarTime(unixSeconds, &time)) return L"?";
  char text[40];
  std::snprintf(text, sizeof text, format, time.year, time.month, time.day, time.hour, time.minute);
  return platform::FromNative(text);
}

std::wstring PointLine(const RestorePoint& point, const LanguageTable& texts) {
  std::wstring state = point.hasManifest
                           ? texts.GetText(point.missing.empty() ? L"console_list_complete"
                                                                 : L"console_list_incomplete")
                           : PrintFEx(texts.GetText(L"console_list_no_manifest"), {point.fault});
  return FormatText(L"%s   %s   %s   %lu   %s   %s   %s",
                    LocalTime(point.unixTime, "%04d-%02d-%02d %02d:%02d"), point.target.name,
                    platform::FromNative(point.header.kind), point.files,
                    FormatByteSize(point.bytes), texts.GetText(CheckTextKey(point)), state);
}

}  // namespace

RestoreDialog::RestoreDialog(wxWindow* parent, const LanguageTable& texts, ProfileStore& profile,
                             const std::wstring& jobName, std::vector<RestorePoint> points,
                             PlanOf planOf)
    : DialogLayout(parent, wxString(texts.GetText(L"ui_restore_title") + L" - " + jobName),
                   "RestoreWindow", &profile),
      texts_(texts),
      profile_(profile),
      pointsData_(std::move(points)),
      planOf_(std::move(planOf)),
      points_(new wxListBox(this, kPointList)),
      tree_(new wxTreeListCtrl(this, kTree, wxDefaultPosition, wxDefaultSize,
                               wxTL_CHECKBOX | wxTL_3STATE | wxTL_SINGLE)),
      ticked_(new wxStaticText(this, kTickedLine, L"")),
      target_(new wxTextCtrl(this, kTargetText)),
      browse_(new wxButton(this, kBrowseButton, wxString(texts.GetText(L"ui_restore_browse")))),
      overwrite_(
          new wxCheckBox(this, kOverwriteBox, wxString(texts.GetText(L"ui_restore_overwrite")))),
      start_(new wxButton(this, wxID_OK, wxString(texts.GetText(L"ui_restore_start")))),
      close_(new wxButton(this, wxID_CANCEL, wxString(texts.GetText(L"ui_close")))) {
  SetIcons(ProgramIcons());
  auto* pointsLabel =
      new wxStaticText(this, wxID_ANY, wxString(texts.GetText(L"ui_restore_points")));
  auto* treeLabel = new wxStaticText(this, wxID_ANY, wxString(texts.GetText(L"ui_restore_tree")));
  auto* targetLabel =
      new wxStaticText(this, wxID_ANY, wxString(texts.GetText(L"ui_restore_target")));
  LabelControl(pointsLabel, points_);
  LabelControl(treeLabel, tree_);
  LabelControl(targetLabel, target_);
  SetAccessibleName(points_, wxString(texts.GetText(L"ui_restore_points")));
  SetAccessibleName(tree_, wxString(texts.GetText(L"ui_restore_tree")));
  // The tree a screen reader meets is the list inside the control.
  SetAccessibleName(tree_->GetDataView(), wxString(texts.GetText(L"ui_restore_tree")));
  SetAccessibleName(target_, wxString(texts.GetText(L"ui_restore_target")));
  tree_->AppendColumn(wxString(texts.GetText(L"ui_restore_name")), 380);
  tree_->AppendColumn(wxString(texts.GetText(L"ui_restore_size")), 100, wxALIGN_RIGHT);
  for (const RestorePoint& point : pointsData_) points_->Append(wxString(PointLine(point, texts)));
  const std::wstring name = jobName.empty() ? L"Kelvane" : jobName;
  target_->SetValue(
      wxString(platform::HomeFolder() + L"/" +
               PrintFEx(texts.GetText(L"ui_restore_default_folder"),
                        {name, LocalTime(pointsData_.empty() ? 0 : pointsData_.front().unixTime,
                                         "%04d-%02d-%02d %02d-%02d")})));

  BeginGroup(kVerticalGroup, 4);
  AddControl(pointsLabel, kFixedHeight);
  AddControl(points_, 0, ui::Size{560, 90});
  AddControl(treeLabel, kFixedHeight, std::nullopt, ui::Rect{0, 6, 0, 0});
  AddControl(tree_, 0, ui::Size{560, 220});
  AddControl(ticked_, kFixedHeight, ui::Size{560, 20});
  AddControl(targetLabel, kFixedHeight, std::nullopt, ui::Rect{0, 6, 0, 0});
  BeginGroup(kHorizontalGroup, 6);
  AddControl(target_, kFixedHeight, ui::Size{460, 0});
  AddControl(browse_, kFixedWidth | kFixedHeight, ui::Size{90, 0});
  EndGroup();
  AddControl(overwrite_, kFixedHeight);
  AddSeparator();
  BeginGroup(kHorizontalGroup, 6);
  AddSpacer();
  AddControl(start_, kFixedWidth | kFixedHeight, ui::Size{90, 0});
  AddControl(close_, kFixedWidth | kFixedHeight, ui::Size{90, 0});
  EndGroup();
  EndGroup();

  points_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
    ShowPoint(static_cast<size_t>(event.GetSelection()));
  });
  tree_->Bind(wxEVT_TREELIST_ITEM_EXPANDING, [this](wxTreeListEvent& event) {
    const wxTreeListItem item = event.GetItem();
    const wxTreeListItem first = tree_->GetFirstChild(item);
    // A folder not opened yet holds one empty placeholder.
    if (first.IsOk() && tree_->GetItemData(first) == nullptr) {
      tree_->DeleteItem(first);
      const auto* index = static_cast<PathIndex*>(tree_->GetItemData(item));
      AddChildren(item, itemPaths_[index->index]);
    }
  });
  tree_->Bind(wxEVT_TREELIST_ITEM_CHECKED, [this](wxTreeListEvent& event) {
    const wxTreeListItem item = event.GetItem();
    tree_->CheckItemRecursively(item, tree_->GetCheckedState(item));
    tree_->UpdateItemParentStateRecursively(item);
    UpdateTicked();
  });
  Bind(
      wxEVT_BUTTON,
      [this](wxCommandEvent&) {
        std::wstring path = target_->GetValue().ToStdWstring();
        if (BrowseForFolder(path, this, kPurposeRestore, profile_,
                            texts_.GetText(L"ui_restore_target")) == kFolderChosen) {
          target_->SetValue(wxString(path));
        }
      },
      kBrowseButton);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { Start(); }, wxID_OK);

  // The newest point that can be restored is the one shown first.
  const std::optional<size_t> latest = kelvane::ChoosePoint(pointsData_, L"latest");
  if (latest) {
    points_->SetSelection(static_cast<int>(*latest));
    ShowPoint(*latest);
  } else {
    start_->Enable(false);
  }
  RunLayout();
  points_->SetFocus();
}

void RestoreDialog::ShowPoint(size_t index) {
  tree_->DeleteAllItems();
  children_.clear();
  byPath_.clear();
  itemPaths_.clear();
  choice_.point = index;
  const bool usable = index < pointsData_.size() && pointsData_[index].hasManifest;
  start_->Enable(usable && pointsData_[index].missing.empty());
  plan_ = usable ? planOf_(index) : RestorePlan();
  for (const ManifestEntry& entry : plan_.entries) {
    byPath_[entry.path] = &entry;
    // Each entry under its folder, and each folder above it under its own.
    for (std::string path = entry.path; !path.empty(); path = ParentOf(path)) {
      if (!children_[ParentOf(path)].insert(path).second) break;
    }
  }
  AddChildren(tree_->GetRootItem(), std::string());
  tree_->CheckItemRecursively(tree_->GetRootItem(), wxCHK_CHECKED);
  // Folders that hold one folder each ("home", "home/ann") open by
  // themselves, down to where the tree branches.
  for (wxTreeListItem only = tree_->GetFirstChild(tree_->GetRootItem());
       only.IsOk() && !tree_->GetNextSibling(only).IsOk() && tree_->GetFirstChild(only).IsOk();
       only = tree_->GetFirstChild(only)) {
    tree_->Expand(only);
  }
  UpdateTicked();
}

void RestoreDialog::AddChildren(wxTreeListItem item, const std::string& path) {
  const auto found = children_.find(path);
  if (found == children_.end()) return;
  const wxCheckBoxState state =
      item == tree_->GetRootItem() ? wxCHK_CHECKED : tree_->GetCheckedState(item);
  for (const std::string& child : found->second) {
    const size_t slash = child.rfind('/');
    const std::wstring name =
        platform::FromNative(slash == std::string::npos ? child : child.substr(slash + 1));
    const wxTreeListItem added = tree_->AppendItem(item, wxString(name));
    itemPaths_.push_back(child);
    tree_->SetItemData(added, new PathIndex(itemPaths_.size() - 1));
    const auto entry = byPath_.find(child);
    if (entry != byPath_.end() && entry->second->type == ManifestEntry::Type::kFile) {
      tree_->SetItemText(added, 1, wxString(FormatByteSize(entry->second->size)));
    }
    if (children_.contains(child)) tree_->AppendItem(added, L"");  // opens later
    tree_->CheckItem(added, state == wxCHK_UNDETERMINED ? wxCHK_CHECKED : state);
  }
}

void RestoreDialog::CollectTicked(wxTreeListItem item, std::vector<std::string>* paths) const {
  for (wxTreeListItem child = tree_->GetFirstChild(item); child.IsOk();
       child = tree_->GetNextSibling(child)) {
    const auto* index = static_cast<PathIndex*>(tree_->GetItemData(child));
    if (!index) continue;
    switch (tree_->GetCheckedState(child)) {
      case wxCHK_CHECKED: paths->push_back(itemPaths_[index->index]); break;
      case wxCHK_UNDETERMINED: CollectTicked(child, paths); break;
      default: break;
    }
  }
}

void RestoreDialog::UpdateTicked() {
  std::vector<std::string> ticked;
  CollectTicked(tree_->GetRootItem(), &ticked);
  const std::set<std::string> chosen(ticked.begin(), ticked.end());
  uint64_t files = 0;
  uint64_t bytes = 0;
  for (const ManifestEntry& entry : plan_.entries) {
    if (entry.type != ManifestEntry::Type::kFile) continue;
    for (std::string path = entry.path; !path.empty(); path = ParentOf(path)) {
      if (chosen.contains(path)) {
        ++files;
        bytes += entry.size;
        break;
      }
    }
  }
  ticked_->SetLabel(wxString(
      PrintFEx(texts_.GetText(files == 1 ? L"ui_restore_ticked_one" : L"ui_restore_ticked"),
               {FormatText(L"%lu", files), FormatByteSize(bytes)})));
  start_->Enable(files != 0 && pointsData_[choice_.point].missing.empty());
  choice_.only.clear();
  // Everything ticked at the top: the whole point, without patterns.
  bool all = true;
  for (wxTreeListItem top = tree_->GetFirstChild(tree_->GetRootItem()); top.IsOk();
       top = tree_->GetNextSibling(top)) {
    all = all && tree_->GetCheckedState(top) == wxCHK_CHECKED;
  }
  if (!all) {
    for (const std::string& path : ticked) choice_.only.push_back(platform::FromNative(path));
  }
}

void RestoreDialog::Start() {
  choice_.target = target_->GetValue().ToStdWstring();
  choice_.overwrite = overwrite_->GetValue();
  if (choice_.target.empty()) return;
  EndModal(wxID_OK);
}

}  // namespace kelvane::ui
