#include "ui/toolkit/dialog_layout.h"

#include <wx/statline.h>

#include <algorithm>

#include "profile/profile_store.h"
#include "ui/layout/window_placement.h"
#include "ui/toolkit/window_dpi.h"
#include "ui/toolkit/window_restore.h"
#include "ui/toolkit/wx_convert.h"

namespace kelvane::DARo3 {

DialogLayout::DialogLayout(wxWindow* parent, const wxString& title, std::string layoutName,
                           ProfileStore* profile, long style)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style),
      layoutName_(std::move(layoutName)),
      profile_(profile) {
  layout_.root().margins96 = ui::Rect{8, 5, 8, 8};
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    KeepMinimumClientSize();
    RememberNormalRect();
    RunLayout();
    event.Skip();
  });
  Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
    // The window manager places a new window where it likes; once it is
    // mapped, a move is honoured.
    if (event.IsShown() && storedPosition_) {
      const wxPoint at = *storedPosition_;
      storedPosition_.reset();
      CallAfter([this, at] { Move(at); });
    }
    event.Skip();
  });
  Bind(wxEVT_MOVE, [this](wxMoveEvent& event) {
    RememberNormalRect();
    event.Skip();
  });
  Bind(wxEVT_DPI_CHANGED, [this](wxDPIChangedEvent& event) {
    Recompute(ui::GetLayoutDpi(this));
    RunLayout();
    OnLayoutDpiChanged(dpi());
    event.Skip();
  });
}

DialogLayout::~DialogLayout() {
  if (profile_ && laidOut_) {
    ui::SaveWindowPlacement(this, layoutName_, dpi(), normalRect_, *profile_);
  }
}

LayoutItem* DialogLayout::BeginGroup(ItemKind kind, int spacing96, ui::Rect margins96) {
  return layout_.BeginGroup(kind, spacing96, margins96);
}

LayoutItem* DialogLayout::AddControl(wxWindow* window, uint32_t flags,
                                     std::optional<ui::Size> size96, ui::Rect margins96) {
  const uint32_t windowDpi = ui::GetLayoutDpi(this);
  if (!size96) {
    const wxSize client = window->GetClientSize();
    size96 = ui::ScaleTo96(ui::Size{client.x, client.y}, windowDpi);
  }
  // A GTK control drawn smaller than it needs clips its text (a button is
  // taller than the 22 pixels of a Windows one): it never gets less than its
  // natural size.
  const wxSize best = window->GetBestSize();
  const ui::Size natural = ui::ScaleTo96(ui::Size{best.x, best.y}, windowDpi);
  size96->width = std::max(size96->width, natural.width);
  if (size96->height != 0) size96->height = std::max(size96->height, natural.height);
  else size96->height = std::max(DARo3::LayoutGroup::kDefaultControlHeight, natural.height);
  LayoutItem* item = layout_.AddItem(kControl, *size96, flags, margins96, window->GetId(), true);
  windows_[item] = window;
  window->Move(0, 0);
  window->Show();
  return item;
}

LayoutItem* DialogLayout::AddSpacer() {
  const bool horizontal = layout_.OpenGroup().IsHorizontal();
  return layout_.AddItem(kSpacer, horizontal ? ui::Size{1, 0} : ui::Size{0, 1}, kFixedHeight, {}, 0,
                         false);
}

LayoutItem* DialogLayout::AddSeparator() {
  const bool horizontal = layout_.OpenGroup().IsHorizontal();
  auto* line = new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                horizontal ? wxLI_VERTICAL : wxLI_HORIZONTAL);
  const uint32_t flags =
      kFixedWidth | kFixedHeight | (horizontal ? kFullClientHeight : kFullClientWidth);
  const ui::Rect margins = horizontal ? ui::Rect{5, 0, 5, 0} : ui::Rect{0, 5, 0, 5};
  LayoutItem* item =
      layout_.AddItem(kSeparator, ui::Size{1, 1}, flags, margins, line->GetId(), true);
  windows_[item] = line;
  return item;
}

bool DialogLayout::EndGroup() {
  if (!layout_.EndGroup()) return false;
  FirstLayout();
  return true;
}

void DialogLayout::ShowWindows(LayoutItem& item, bool show) {
  if (const auto found = windows_.find(&item); found != windows_.end()) found->second->Show(show);
  for (auto& child : item.children) ShowWindows(*child, show);
}

void DialogLayout::ShowItem(LayoutItem* item, bool show) {
  if (!item) return;
  ShowWindows(*item, show);
  LayoutGroup::SetHidden(*item, !show);
  if (laidOut_) {
    Recompute(dpi());
    RunLayout();
  }
}

void DialogLayout::SetGrowth(int widthPercent, int heightPercent) {
  growWidth_ = widthPercent;
  growHeight_ = heightPercent;
}

void DialogLayout::Recompute(uint32_t dpi) {
  minimumClient_ = layout_.Recompute(dpi);
  SetMinClientSize(wxSize(minimumClient_.width, minimumClient_.height));
  KeepMinimumClientSize();
  if (fixedAxes_ != 0) {
    SetMaxClientSize(wxSize((fixedAxes_ & kWidthFixed) ? minimumClient_.width : wxDefaultCoord,
                            (fixedAxes_ & kHeightFixed) ? minimumClient_.height : wxDefaultCoord));
  }
}

void DialogLayout::RunLayout() {
  if (!laidOut_) return;
  const wxSize client = GetClientSize();
  for (const auto& placement : layout_.Arrange(ui::Size{client.x, client.y})) {
    const auto found = windows_.find(placement.item);
    if (found == windows_.end()) continue;
    found->second->SetSize(ui::ToWxRect(placement.rect));
  }
  Refresh();
}

void DialogLayout::FirstLayout() {
  Recompute(ui::GetLayoutDpi(this));
  laidOut_ = true;
  PlaceWindow();
  normalRect_ = ui::PlacementRect(*this);
  RunLayout();
}

void DialogLayout::KeepMinimumClientSize() {
  // GTK learns the size of the window's decorations only once it is shown,
  // and until then takes the minimum of the client area for the whole
  // window's: the client area would lose the decorations' height, and the
  // bottom row with it. Asked again with the decorations known, it holds.
  if (!laidOut_ || IsMaximized() || IsIconized()) return;
  const wxSize client = GetClientSize();
  if (client.x >= minimumClient_.width && client.y >= minimumClient_.height) return;
  SetMinClientSize(wxSize(minimumClient_.width, minimumClient_.height));
  SetClientSize(
      wxSize(std::max(client.x, minimumClient_.width), std::max(client.y, minimumClient_.height)));
}

void DialogLayout::PlaceWindow() {
  const bool resizable = HasFlag(wxRESIZE_BORDER);
  const ui::PlacementPlan plan =
      profile_ ? ui::RestoreWindowPlacement(this, layoutName_, dpi(), *profile_)
               : ui::PlacementPlan{ui::kNothingToDo, {}, false, false};
  if (plan.moveWindow) storedPosition_ = wxPoint(plan.rect.left, plan.rect.top);
  const ui::RestoreResult restored = plan.result;
  if (restored == ui::kRestored && resizable) {
    // A fixed axis is always at its minimum, whatever was stored.
    wxSize client = GetClientSize();
    if (fixedAxes_ & kWidthFixed) client.x = minimumClient_.width;
    if (fixedAxes_ & kHeightFixed) client.y = minimumClient_.height;
    if (client != GetClientSize()) SetClientSize(client);
    return;
  }
  ui::Size wanted = minimumClient_;
  const bool stored = profile_ && !layoutName_.empty() && ui::ReadPlacement(*profile_, layoutName_);
  if (!stored && resizable) {
    wanted.width += wanted.width * growWidth_ / 100;
    wanted.height += wanted.height * growHeight_ / 100;
  }
  SetClientSize(wxSize(wanted.width, wanted.height));
  if (layoutName_.empty()) Centre();
}

void DialogLayout::RememberNormalRect() {
  // A hidden window's sizes are not what the user saw.
  if (!IsShown() || IsMaximized() || IsIconized()) return;
  normalRect_ = ui::PlacementRect(*this);
}

}  // namespace kelvane::DARo3
