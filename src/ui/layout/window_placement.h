// Where a dialog was and how large, kept in the profile between runs: one
// section per dialog (its layout's name) with "DPI", "ShowCmd", "Flags",
// "Left", "Top", "Right", "Bottom". "Left" and "Top" are where the window's
// frame was; "Right" and "Bottom" add the size of its client area, which is
// what the window must get back. (The frame's size depends on the desktop's
// decorations, which GTK learns only after the window is shown: a window
// sized by its frame shrank by them at every start.)
//
// Restoring is best effort off Windows. The size and the maximised state come
// back always; the position only where the display honours it (X11, not
// Wayland), and never off-screen: a placement that lies on no connected
// screen any more (a monitor was unplugged) opens centred on the primary one.
// The decision is a plain function, so it is tested with made-up screens;
// window_restore.h applies it to a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/layout/dpi_scaling.h"

namespace kelvane {
class ProfileStore;
}

namespace kelvane::ui {

// Show states as stored (the values of Windows' SW_* commands).
enum StoredShow : int { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

struct StoredPlacement {
  uint32_t dpi = 96;
  int showCmd = kShowNormal;
  int flags = 0;
  Rect normal;  // frame position and client size, neither maximised nor minimised
};

// The screens a window can be placed on: their work areas, the primary first.
struct ScreenLayout {
  std::vector<Rect> workAreas;
  bool positionsHonoured = true;  // false on Wayland
};

enum RestoreResult : int { kRestored = 0, kNothingToDo = 1, kNotRestored = 2 };

struct PlacementPlan {
  RestoreResult result = kNotRestored;
  Rect rect;               // where the window goes
  bool moveWindow = true;  // false: leave the position to the display
  bool maximize = false;
};

// What to do with a window now at `current` (its DPI `dpi`) given what was
// stored. A window that cannot be resized keeps its size and reports
// kNotRestored, as does one without a stored placement.
PlacementPlan PlanRestore(const std::optional<StoredPlacement>& stored, const Rect& current,
                          uint32_t dpi, bool resizable, const ScreenLayout& screens);

// The placement in profile section `section`; none without a "Right" value.
std::optional<StoredPlacement> ReadPlacement(const ProfileStore& profile,
                                             const std::string& section);
void WritePlacement(ProfileStore& profile, const std::string& section,
                    const StoredPlacement& placement);

}  // namespace kelvane::ui
