#include "ui/toolkit/window_restore.h"

#include <wx/display.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "profile/profile_store.h"
#include "ui/toolkit/wx_convert.h"

namespace kelvane::ui {

ScreenLayout CurrentScreens() {
  ScreenLayout screens;
  const unsigned count = wxDisplay::GetCount();
  for (unsigned i = 0; i < count; ++i) {
    const wxDisplay display(i);
    const Rect area = RectOf(display.GetClientArea());
    if (display.IsPrimary()) {
      screens.workAreas.insert(screens.workAreas.begin(), area);
    } else {
      screens.workAreas.push_back(area);
    }
  }
  screens.positionsHonoured = wxGetDisplayInfo().type != wxDisplayWayland;
  return screens;
}

Rect PlacementRect(const wxTopLevelWindow& window) {
  const wxPoint at = window.GetPosition();
  const wxSize client = window.GetClientSize();
  return Rect{at.x, at.y, at.x + client.x, at.y + client.y};
}

void SaveWindowPlacement(wxTopLevelWindow* window, const std::string& section, uint32_t dpi,
                         const Rect& normal, ProfileStore& profile) {
  if (!window || section.empty() || normal.width() <= 0 || normal.height() <= 0) return;
  StoredPlacement placement;
  placement.dpi = dpi;
  placement.showCmd = window->IsMaximized()  ? kShowMaximized
                      : window->IsIconized() ? kShowMinimized
                                             : kShowNormal;
  placement.normal = normal;
  WritePlacement(profile, section, placement);
}

PlacementPlan RestoreWindowPlacement(wxTopLevelWindow* window, const std::string& section,
                                     uint32_t dpi, const ProfileStore& profile) {
  if (!window || section.empty()) return PlacementPlan{kNothingToDo, {}, false, false};
  const bool resizable = window->HasFlag(wxRESIZE_BORDER);
  const Rect current = PlacementRect(*window);
  const PlacementPlan plan =
      PlanRestore(ReadPlacement(profile, section), current, dpi, resizable, CurrentScreens());
  if (plan.result == kNotRestored && plan.rect == current) return plan;
  window->SetClientSize(plan.rect.width(), plan.rect.height());
  if (plan.moveWindow) window->Move(plan.rect.left, plan.rect.top);
  if (plan.maximize) window->Maximize();
  return plan;
}

}  // namespace kelvane::ui
