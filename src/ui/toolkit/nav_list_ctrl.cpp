#include "ui/toolkit/nav_list_ctrl.h"

#include <algorithm>

namespace kelvane::ui {

CVxNavListCtrl::CVxNavListCtrl(wxWindow* parent, int id)
    : wxListBox(parent, id, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxLB_SINGLE) {
  Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
    const int index = event.GetSelection();
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    if (entries_[index] == shown_) return;
    shown_ = entries_[index];
    if (onChoose) onChoose(shown_);
  });
}

void CVxNavListCtrl::AddEntry(int entryId, const wxString& label) {
  entries_.push_back(entryId);
  Append(label);
}

void CVxNavListCtrl::SelectEntry(int entryId) {
  const auto found = std::find(entries_.begin(), entries_.end(), entryId);
  if (found == entries_.end()) return;
  shown_ = entryId;
  SetSelection(static_cast<int>(found - entries_.begin()));
}

int CVxNavListCtrl::selectedEntry() const { return shown_; }

}  // namespace kelvane::ui
