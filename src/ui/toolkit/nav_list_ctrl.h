// The navigation list of a paged window: one entry per page, each with an
// id of its own; choosing an entry reports its id once (choosing the entry
// already shown reports nothing). A native list box, so keyboard and screen
// readers work as in any GTK program.
#pragma once

#include <wx/listbox.h>

#include <functional>
#include <vector>

namespace kelvane::ui {

class CVxNavListCtrl : public wxListBox {
 public:
  CVxNavListCtrl(wxWindow* parent, int id);

  void AddEntry(int entryId, const wxString& label);
  // Marks `entryId` as chosen without reporting it.
  void SelectEntry(int entryId);
  // The entry chosen, or -1.
  int selectedEntry() const;

  // Called with the id of an entry the user chose.
  std::function<void(int entryId)> onChoose;

 private:
  std::vector<int> entries_;
  int shown_ = -1;
};

}  // namespace kelvane::ui
