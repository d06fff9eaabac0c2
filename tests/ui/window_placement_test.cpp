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

TEST(PlanRestoreTest, NothingStoredLeavesTheWindow) {
  const Rect current{10, 10, 410, 310};
  const PlacementPlan plan = PlanRestore(std::nullopt, current, 96, true, kTwoScreens);
  EXPECT_EQ(plan.result, kNotRestored);
  EXPECT_EQ(plan.rect, current);
}

TEST(PlanRestoreTest, ARectangleOnASecondScreenComesBack) {
  const PlacementPlan plan =
      PlanRestore(Stored({2000, 100, 2400, 400}), {0, 0, 300, 200}, 96, true, kTwoScreens);
  EXPECT_EQ(plan.result, kRestored);
  EXPECT_EQ(plan.rect, (Rect{2000, 100, 2400, 400}));
  EXPECT_TRUE(plan.moveWindow);
  EXPECT_FALSE(plan.maximize);
}

TEST(PlanRestoreTest, SizeFollowsTheDpiButThePositionDoesNot) {
  const PlacementPlan plan =
      PlanRestore(Stored({100, 50, 500, 350}, 96), {0, 0, 300, 200}, 144, true, kTwoScreens);
  EXPECT_EQ(plan.rect, (Rect{100, 50, 100 + 600, 50 + 450}));
}

TEST(PlanRestoreTest, APlacementOnAnUnpluggedScreenIsCentredOnThePrimary) {
  // The window was on a third screen right of the second one.
  const PlacementPlan plan =
      PlanRestore(Stored({3300, 200, 3700, 500}), {0, 0, 300, 200}, 96, true, kTwoScreens);
  EXPECT_EQ(plan.rect, (Rect{760, 370, 1160, 670}));
}

TEST(PlanRestoreTest, AFixedSizeDialogGetsItsPositionButKeepsItsSize) {
  const PlacementPlan plan =
      PlanRestore(Stored({100, 100, 900, 700}), {0, 0, 300, 200}, 96, false, kTwoScreens);
  EXPECT_EQ(plan.result, kNotRestored);
  EXPECT_EQ(plan.rect, (Rect{100, 100, 400, 300}));
}

TEST(PlanRestoreTest, MaximisedComesBackMaximisedOverItsNormalRectangle) {
  const PlacementPlan plan = PlanRestore(Stored({100, 100, 500, 400}, 96, kShowMaximized),
                                         {0, 0, 300, 200}, 96, true, kTwoScreens);
  EXPECT_TRUE(plan.maximize);
  EXPECT_EQ(plan.rect, (Rect{100, 100, 500, 400}));
  // Minimised is not a state to come back in.
  EXPECT_FALSE(PlanRestore(Stored({100, 100, 500, 400}, 96, kShowMinimized), {0, 0, 300, 200}, 96,
                           true, kTwoScreens)
                   .maximize);
}

TEST(PlanRestoreTest, WithoutPositionsOnlyTheSizeIsApplied) {
  ScreenLayout wayland = kTwoScreens;
  wayland.positionsHonoured = false;
  const PlacementPlan plan =
      PlanRestore(Stored({100, 100, 500, 400}), {0, 0, 300, 200}, 96, true, wayland);
  EXPECT_EQ(plan.result, kRestored);
  EXPECT_FALSE(plan.moveWindow);
  EXPECT_EQ(plan.rect.width(), 400);
  EXPECT_EQ(plan.rect.height(), 300);
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
