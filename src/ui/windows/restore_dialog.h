// The restore window: the job's restore points, the tree of the chosen one
// with check boxes (a folder's entries are filled in when it opens), a count
// and size of what is ticked, the folder to restore into and whether to
// overwrite what is there. Start hands the choice back; the restore itself
// runs in the run window.
#pragma once

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dataview.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treelist.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "restore/restore_plan.h"
#include "restore/restore_points.h"
#include "ui/toolkit/dialog_layout.h"

namespace kelvane {
class LanguageTable;
class ProfileStore;
}  // namespace kelvane

namespace kelvane::ui {

struct RestoreChoice {
  size_t point = 0;
  std::vector<std::wstring> only;  // stored paths; empty: all of the point
  std::wstring target;
  bool overwrite = false;
};

class RestoreDialog : public DARo3::DialogLayout {
 public:
  enum ControlId : int {
    kPointList = 1100,
    kTree,
    kTickedLine,
    kTargetText,
    kBrowseButton,
    kOverwriteBox,
  };
  // The plan of point `index` (its manifest read), for the tree.
  using PlanOf = std::function<RestorePlan(size_t index)>;

  RestoreDialog(wxWindow* parent, const LanguageTable& texts, ProfileStore& profile,
                const std::wstring& jobName, std::vector<RestorePoint> points, PlanOf planOf);

  const RestoreChoice& choice() const { return choice_; }
  wxListBox& pointList() { return *points_; }
  wxTreeListCtrl& tree() { return *tree_; }
  wxStaticText& tickedLine() { return *ticked_; }

 private:
  void ShowPoint(size_t index);
  void AddChildren(wxTreeListItem item, const std::string& path);
  void UpdateTicked();
  void CollectTicked(wxTreeListItem item, std::vector<std::string>* paths) const;
  void Start();

  const LanguageTable& texts_;
  ProfileStore& profile_;
  std::vector<RestorePoint> pointsData_;
  PlanOf planOf_;
  RestorePlan plan_;
  // The tree of the plan: each folder's entries (folders above the stored
  // paths that the manifest does not list included), by full path.
  std::map<std::string, std::set<std::string>> children_;
  std::map<std::string, const ManifestEntry*> byPath_;
  std::vector<std::string> itemPaths_;  // an item's data is its index here
  RestoreChoice choice_;

  wxListBox* points_;
  wxTreeListCtrl* tree_;
  wxStaticText* ticked_;
  wxTextCtrl* target_;
  wxButton* browse_;
  wxCheckBox* overwrite_;
  wxButton* start_;
  wxButton* close_;
};

}  // namespace kelvane::ui
