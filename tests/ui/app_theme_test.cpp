// The font table, with the desktop's answers made up.
#include <gtest/gtest.h>

#include <string>

#include "ui/toolkit/app_fonts.h"

namespace kelvane::ui {
namespace {

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
