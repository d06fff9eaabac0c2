// The icons built into the program, drawn through wx.
#include "ui/toolkit/svg_icons.h"

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include "window/window_test_support.h"

namespace kelvane::ui {
namespace {

// Counts the pixels of `bitmap` that are fully transparent and those that
// are mostly opaque.
std::pair<int, int> TransparentAndOpaque(const wxBitmap& bitmap) {
  const wxImage image = bitmap.ConvertToImage();
  int transparent = 0, opaque = 0;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      const int alpha = image.HasAlpha() ? image.GetAlpha(x, y) : 255;
      if (alpha == 0) ++transparent;
      if (alpha > 200) ++opaque;
    }
  }
  return {transparent, opaque};
}

TEST(SvgIconsTest, EveryIconDrawsAtTheSizesAskedFor) {
  const int ids[] = {kProgramIcon, kIconNew, kIconLoad, kIconSave, kIconSaveAs, kIconStart};
  const int sizes[] = {16, 24, 32, 48};
  wxBitmap sheet(6 * 52, 4 * 52, 32);
  wxMemoryDC dc(sheet);
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 4; ++j) {
      const wxBitmap icon = LoadSvgIcon(ids[i], sizes[j]);
      ASSERT_TRUE(icon.IsOk()) << ids[i] << " at " << sizes[j];
      EXPECT_EQ(icon.GetWidth(), sizes[j]);
      EXPECT_EQ(icon.GetHeight(), sizes[j]);
      const auto [transparent, opaque] = TransparentAndOpaque(icon);
      // Something is drawn, and the shape does not fill its square.
      EXPECT_GT(opaque, sizes[j] * sizes[j] / 5) << ids[i] << " at " << sizes[j];
      EXPECT_GT(transparent, 0) << ids[i] << " at " << sizes[j];
      dc.DrawBitmap(icon, i * 52 + 2, j * 52 + 2, true);
    }
  }
  dc.SelectObject(wxNullBitmap);
  sheet.ConvertToImage().SaveFile(test::ArtifactFolder() + "/icons.png", wxBITMAP_TYPE_PNG);
}

TEST(SvgIconsTest, WhatCannotBeDrawnGivesNoIcon) {
  EXPECT_FALSE(LoadSvgIcon(999, 24).IsOk());
  EXPECT_FALSE(LoadSvgIcon(kIconSave, 0).IsOk());
  EXPECT_FALSE(RasterizeSvg("this is no svg", 24).IsOk());
  EXPECT_FALSE(
      RasterizeSvg("<svg xmlns='http://www.w3.org/2000/svg' width='0' height='0'", 24).IsOk());
}

TEST(SvgIconsTest, TheProgramIconComesAtTheDesktopsSizes) {
  const wxIconBundle icons = ProgramIcons();
  ASSERT_GE(icons.GetIconCount(), 7u);
  EXPECT_EQ(icons.GetIcon(wxSize(48, 48), wxIconBundle::FALLBACK_NONE).GetWidth(), 48);
}

}  // namespace
}  // namespace kelvane::ui
