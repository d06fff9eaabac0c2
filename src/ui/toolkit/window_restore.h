// A window's placement saved to and restored from the profile, by the plan of
// window_placement.h on the screens the toolkit reports.
#pragma once

#include <string>

#include "ui/layout/window_placement.h"

class wxTopLevelWindow;

namespace kelvane {
class ProfileStore;
}

namespace kelvane::ui {

// The connected screens, from wx.
ScreenLayout CurrentScreens();

// `window`'s frame position with the size of its client area, as stored.
Rect PlacementRect(const wxTopLevelWindow& window);

// Stores `window`'s placement under `section`, its normal rectangle being
// `normal` (a maximised window does not know its own). Nothing for no window
// or an empty section.
void SaveWindowPlacement(wxTopLevelWindow* window, const std::string& section, uint32_t dpi,
                         const Rect& normal, ProfileStore& profile);
// Places `window`, not yet shown, as stored under `section` and returns what
// was done; see RestoreResult. A window manager may place a new window
// itself: where the plan moves the window, move it again once it is shown.
PlacementPlan RestoreWindowPlacement(wxTopLevelWindow* window, const std::string& section,
                                     uint32_t dpi, const ProfileStore& profile);

}  // namespace kelvane::ui
