// The dialog base of the program's windows: a wx dialog whose controls are
// placed by a tree of groups (layout_tree.h) rather than by fixed positions.
//
// A dialog creates its controls in its constructor and describes them with
// BeginGroup / AddControl / AddSpacer / AddSeparator / EndGroup; the last
// EndGroup lays them out, sets the minimum size (and the maximum along a
// fixed axis) and places the window: as stored in the profile under the
// layout's name, or, for a dialog without a name, centred at its minimum
// size. Every size event lays the controls out again; a DPI change rescales
// the layout. The placement is stored when the dialog goes away.
//
// On GTK the desktop draws the resize frame, so there is no size grip of our
// own. Window thread only.
#pragma once

#include <wx/dialog.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "ui/layout/dpi_scaling.h"
#include "ui/layout/layout_tree.h"

namespace kelvane {
class ProfileStore;
}

namespace kelvane::DARo3 {

// Axes that the user cannot change by dragging.
enum FixedAxis : uint32_t { kWidthFixed = 1, kHeightFixed = 2 };

class DialogLayout : public wxDialog {
 public:
  static constexpr long kDefaultStyle =
      wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER | wxMINIMIZE_BOX;

  // `layoutName` names the profile section of the placement; empty: never
  // stored. `profile` may be null (nothing is stored or restored).
  DialogLayout(wxWindow* parent, const wxString& title, std::string layoutName,
               ProfileStore* profile, long style = kDefaultStyle);
  ~DialogLayout() override;

  LayoutItem* BeginGroup(ItemKind kind, int spacing96 = 0, ui::Rect margins96 = {});
  // Adds `window` (a child of this dialog) at `size96`, or, without one, at
  // its current size; a height of 0 becomes the default control height. No
  // control gets less than the size it needs to show itself.
  LayoutItem* AddControl(wxWindow* window, uint32_t flags = 0,
                         std::optional<ui::Size> size96 = std::nullopt, ui::Rect margins96 = {});
  // Flexible space: in a horizontal group it pushes what follows to the right.
  LayoutItem* AddSpacer();
  // A line across the dialog (in a vertical group) or down it (horizontal).
  LayoutItem* AddSeparator();
  // Closes the open group; closing the last one lays the dialog out.
  bool EndGroup();
  // Shows or hides the item's windows; hidden items take no space.
  void ShowItem(LayoutItem* item, bool show);

  void SetFixedAxes(uint32_t axes) { fixedAxes_ = axes; }
  // How much larger than its minimum a dialog opens the first time.
  void SetGrowth(int widthPercent, int heightPercent);

  // Lays the controls out in the current client area.
  void RunLayout();

  uint32_t dpi() const { return layout_.dpi(); }
  const std::string& layoutName() const { return layoutName_; }
  ui::Size minimumClientSize() const { return minimumClient_; }
  LayoutGroup& layout() { return layout_; }

 protected:
  // After the layout took a new DPI; dialogs set their fonts here.
  virtual void OnLayoutDpiChanged(uint32_t /*dpi*/) {}

 private:
  void FirstLayout();
  void Recompute(uint32_t dpi);
  void PlaceWindow();
  void KeepMinimumClientSize();
  void RememberNormalRect();
  void ShowWindows(LayoutItem& item, bool show);

  LayoutGroup layout_;
  std::string layoutName_;
  ProfileStore* profile_;
  std::unordered_map<const LayoutItem*, wxWindow*> windows_;
  uint32_t fixedAxes_ = 0;
  int growWidth_ = 0, growHeight_ = 0;
  bool laidOut_ = false;
  ui::Size minimumClient_;
  ui::Rect normalRect_;                    // the last placement neither maximised nor minimised
  std::optional<wxPoint> storedPosition_;  // to take again once shown
};

}  // namespace kelvane::DARo3
