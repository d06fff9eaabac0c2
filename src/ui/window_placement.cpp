#include "ui/window_placement.h"

#include <wx/display.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <algorithm>

#include "profile/profile_store.h"
#include "ui/wx_convert.h"

namespace kelvane::ui {
namespace {

bool Intersects(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Rect CentredIn(const Rect& area, int width, int height) {
  const int left = area.left + (area.width() - width) / 2;
  const int top = area.top + (area.height() - height) / 2;
  return Rect{std::max(left, area.left), std::max(top, area.top), std::max(left, area.left) + width,
              std::max(top, area.top) + height};
}

}  // namespace

PlacementPlan PlanRestore(const std::optional<StoredPlacement>& stored, const Rect& current,
                          uint32_t dpi, bool resizable, const ScreenLayout& screens) {
  PlacementPlan plan;
  plan.rect = current;
  plan.moveWindow = false;
  if (!stored) return plan;
  int width = stored->normal.width();
  int height = stored->normal.height();
  if (stored->dpi != dpi) {
    width = ScaleBetweenDpi(width, stored->dpi, dpi);
    height = ScaleBetweenDpi(height, stored->dpi, dpi);
  }
  if (!resizable) {
    width = current.width();
    height = current.height();
  }
  Rect wanted{stored->normal.left, stored->normal.top, stored->normal.left + width,
              stored->normal.top + height};
  const bool onAScreen = std::any_of(screens.workAreas.begin(), screens.workAreas.end(),
                                     [&](const Rect& area) { return Intersects(wanted, area); });
  if (!onAScreen && !screens.workAreas.empty()) {
    wanted = CentredIn(screens.workAreas.front(), width, height);
  }
  plan.rect = wanted;
  plan.moveWindow = screens.positionsHonoured;
  plan.maximize = resizable && stored->showCmd == kShowMaximized;
  plan.result = resizable ? kRestored : kNotRestored;
  return plan;
}

std::optional<StoredPlacement> ReadPlacement(const ProfileStore& profile,
                                             const std::string& section) {
  const int right = profile.GetInt(section, "Right", 0);
  if (right == 0) return std::nullopt;
  StoredPlacement placement;
  const int dpi = profile.GetInt(section, "DPI", 96);
  placement.dpi = dpi > 0 ? static_cast<uint32_t>(dpi) : 96;
  placement.showCmd = profile.GetInt(section, "ShowCmd", kShowNormal);
  placement.flags = profile.GetInt(section, "Flags", 0);
  placement.normal = Rect{profile.GetInt(section, "Left", 0), profile.GetInt(section, "Top", 0),
                          right, profile.GetInt(section, "Bottom", 0)};
  // A rectangle turned inside out would size the window to nothing.
  if (placement.normal.width() <= 0 || placement.normal.height() <= 0) return std::nullopt;
  return placement;
}

void WritePlacement(ProfileStore& profile, const std::string& section,
                    const StoredPlacement& placement) {
  profile.WriteInt(section, "DPI", static_cast<int32_t>(placement.dpi));
  profile.WriteInt(section, "ShowCmd", placement.showCmd);
  profile.WriteInt(section, "Flags", placement.flags);
  profile.WriteInt(section, "Left", placement.normal.left);
  profile.WriteInt(section, "Top", placement.normal.top);
  profile.WriteInt(section, "Right", placement.normal.right);
  profile.WriteInt(section, "Bottom", placement.normal.bottom);
}

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
