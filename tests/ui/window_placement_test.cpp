// Where a dialog comes back: the decision with made-up screens, and the
// values' round trip through the profile.
#include "ui/layout/window_placement.h"

#include <gtest/gtest.h>

#include "profile/profile_store.h"
#include "support/test_support.h"

namespace kelvane::ui {
void PrintTo(const Rect& r, std::ostream* out);
namespace {

const ScreenLayout kTwoScreens{{Rect{0, 0, 1920, 1040}, Rect{1920, 0, 3200, 1024}}, true};

StoredPlacement Stored(Rect normal, uint32_t dpi = 96, int showCmd = kShowNormal) {
  return StoredPlacement{dpi, showCmd, 0, normal};
}

// Where a dialog comes back: a rectangle on a second screen as it was; its
// size, not its position, follows the DPI; from an unplugged screen centred
// on the primary; a fixed-size dialog only moves; maximised comes back
// maximised, minimised does not; without positions (Wayland) only the size.
TEST(PlanRestoreTest, EachStoredPlacementComesBackAsTheScreensAllow) {
  ScreenLayout wayland = kTwoScreens;
  wayland.positionsHonoured = false;
  const Rect current{0, 0, 300, 200};
  struct Row {
    std::optional<StoredPlacement> stored;
    uint32_t dpi;
    bool resizable;
    const ScreenLayout& screens;
    int result;
    Rect rect;
    bool move, maximize;
  } rows[] = {
      // clang-format off
      {std::nullopt, 96, true, kTwoScreens, kNotRestored, current, false, false},
      {Stored({2000, 100, 2400, 400}), 96, true, kTwoScreens, kRestored, {2000, 100, 2400, 400}, true, false},
      {Stored({100, 50, 500, 350}), 144, true, kTwoScreens, kRestored, {100, 50, 700, 500}, true, false},
      {Stored({3300, 200, 3700, 500}), 96, true, kTwoScreens, kRestored, {760, 370, 1160, 670}, true, false},
      {Stored({100, 100, 900, 700}), 96, false, kTwoScreens, kNotRestored, {100, 100, 400, 300}, true, false},
      {Stored({100, 100, 500, 400}, 96, kShowMaximized), 96, true, kTwoScreens, kRestored, {100, 100, 500, 400}, true, true},
      {Stored({100, 100, 500, 400}, 96, kShowMinimized), 96, true, kTwoScreens, kRestored, {100, 100, 500, 400}, true, false},
      {Stored({100, 100, 500, 400}), 96, true, wayland, kRestored, {100, 100, 500, 400}, false, false},
      // clang-format on
  };
  for (const Row& row : rows) {
    const PlacementPlan plan =
        PlanRestore(row.stored, current, row.dpi, row.resizable, row.screens);
    const int at = static_cast<int>(&row - rows);
    EXPECT_EQ(plan.result, row.result) << at;
    EXPECT_EQ(plan.rect, row.rect) << at;
    EXPECT_EQ(plan.moveWindow, row.move) << at;
    EXPECT_EQ(plan.maximize, row.maximize) << at;
  }
}

TEST(StoredPlacementTest, RoundTripsThroughTheProfile) {
  test::TempDir dir;
  const std::wstring path = dir.Wide("profile.json");
  {
    ProfileStore profile(path);
    WritePlacement(profile, "KelvanePrefs", Stored({-20, 30, 780, 630}, 144, kShowMaximized));
  }
  ProfileStore reread(path);
  const auto placement = ReadPlacement(reread, "KelvanePrefs");
  ASSERT_TRUE(placement);
  EXPECT_EQ(placement->dpi, 144u);
  EXPECT_EQ(placement->showCmd, kShowMaximized);
  EXPECT_EQ(placement->normal, (Rect{-20, 30, 780, 630}));
  EXPECT_EQ(reread.GetInt("KelvanePrefs", "Flags", -1), 0);
  EXPECT_FALSE(ReadPlacement(reread, "OtherDialog"));
}

TEST(StoredPlacementTest, AnInsideOutRectangleIsNoPlacement) {
  test::TempDir dir;
  ProfileStore profile(dir.Wide("profile.json"));
  WritePlacement(profile, "D", Stored({500, 100, 400, 300}));
  EXPECT_FALSE(ReadPlacement(profile, "D"));
}

}  // namespace
}  // namespace kelvane::ui
