// The colour and font tables, with the desktop's answers made up.
#include <gtest/gtest.h>

#include <string>

#include "ui/toolkit/app_colors.h"
#include "ui/toolkit/app_fonts.h"

namespace kelvane::ui {
namespace {

Color FakeSystem(SystemColor which) {
  switch (which) {
    case SystemColor::kGrayText: return Rgb(1, 2, 3);
    case SystemColor::kButtonFace: return Rgb(200, 100, 0);
    case SystemColor::kDarkShadow: return Rgb(7, 8, 9);
  }
  return 0;
}

TEST(AppColorTableTest, DerivedAndSystemEntries) {
  const auto table = BuildAppColorTable(FakeSystem);
  EXPECT_EQ(std::wstring(table[kListHeaderText].key), L"ApplicationListCtrlHeaderTextColor");
  EXPECT_EQ(table[kListHeaderText].color, Rgb(41, 69, 103));
  EXPECT_EQ(table[kListBackgroundStripe].color, Rgb(127, 127, 127));
  EXPECT_EQ(table[kListGrayText].color, Rgb(1, 2, 3));
  EXPECT_EQ(table[kDialogBackground].color, Rgb(200, 100, 0));
  // The page is the dialog face lightened by a tenth: c + (255 - c) × 0.1.
  EXPECT_EQ(table[kPageBackground].color, Rgb(205, 115, 25));
  EXPECT_EQ(table[kLine].color, Rgb(7, 8, 9));
  EXPECT_EQ(table[kDarkMode].color, 0u);
  EXPECT_EQ(table[kGrayMode].color, 0u);
  EXPECT_EQ(table[kTabCtrl].color, Rgb(255, 173, 91));
}

TEST(AppFontTableTest, HeightsScaleAbove96Dpi) {
  auto all = [](std::wstring_view) { return true; };
  const AppFontRow row{9, L"Segoe UI", 0, -13};
  EXPECT_EQ(ResolveAppFont(row, 96, all, L"Sans").height, -13);
  EXPECT_EQ(ResolveAppFont(row, 72, all, L"Sans").height, -13);
  EXPECT_EQ(ResolveAppFont(row, 144, all, L"Sans").height, -20);  // -19.5, away from zero
  EXPECT_EQ(ResolveAppFont(row, 192, all, L"Sans").height, -26);
}

TEST(AppFontTableTest, AMissingFaceBecomesTheDesktopFontAtTheTableSize) {
  auto onlyDejaVu = [](std::wstring_view face) { return face == L"DejaVu Sans"; };
  const AppFontRow row{15, L"Segoe UI", kFontBold, -15};
  EXPECT_EQ(ResolveAppFont(row, 96, onlyDejaVu, L"Cantarell"),
            (FontDescription{L"Cantarell", -15, 700}));
  const AppFontRow present{3, L"DejaVu Sans", 0, -11};
  EXPECT_EQ(ResolveAppFont(present, 96, onlyDejaVu, L"Cantarell").face, L"DejaVu Sans");
}

}  // namespace
}  // namespace kelvane::ui
