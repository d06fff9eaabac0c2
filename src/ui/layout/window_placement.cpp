#include "ui/layout/window_placement.h"

#include <algorithm>

#include "profile/profile_store.h"

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

}  // namespace kelvane::ui
