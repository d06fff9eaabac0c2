// The markup renderer with real fonts on a memory device context.
#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include "ui/layout/markup_text.h"
#include "ui/toolkit/markup_canvas_wx.h"
#include "ui/toolkit/wx_convert.h"
#include "window/window_test_support.h"

namespace kelvane::ui {
namespace {

class MarkupCanvasTest : public ::testing::Test {
 protected:
  MarkupCanvasTest() : bitmap_(300, 200, 24), dc_(bitmap_) {
    dc_.SetBackground(*wxWHITE_BRUSH);
    dc_.Clear();
  }
  // Pixels in `area` that are not white.
  int Inked(const wxRect& area) {
    dc_.SelectObject(wxNullBitmap);
    const wxImage image = bitmap_.ConvertToImage();
    dc_.SelectObject(bitmap_);
    int inked = 0;
    for (int y = std::max(area.GetTop(), 0); y <= std::min(area.GetBottom(), 199); ++y) {
      for (int x = std::max(area.GetLeft(), 0); x <= std::min(area.GetRight(), 299); ++x) {
        if (image.GetRed(x, y) < 200 || image.GetGreen(x, y) < 200 || image.GetBlue(x, y) < 200) {
          ++inked;
        }
      }
    }
    return inked;
  }
  void Save(const std::string& name) {
    dc_.SelectObject(wxNullBitmap);
    bitmap_.ConvertToImage().SaveFile(test::ArtifactFolder() + "/" + name + ".png",
                                      wxBITMAP_TYPE_PNG);
    dc_.SelectObject(bitmap_);
  }

  wxBitmap bitmap_;
  wxMemoryDC dc_;
  CHTMLDrawText markup_;
};

TEST_F(MarkupCanvasTest, TextTooLongForTheBoxEndsInTheMarker) {
  WxMarkupCanvas canvas(dc_);
  markup_.SetText(L"<b>one</b><br>two<br>three<br>four<br>five<br>six<br>seven");
  const Rect box{10, 10, 150, 50};
  markup_.GetExtent(canvas, box, kEndEllipsis);
  markup_.Draw(canvas);
  Save("markup-overflow");
  EXPECT_TRUE(markup_.endMarkerDrawn());
  EXPECT_EQ(Inked(wxRect(0, 51, 300, 149)), 0);
}

}  // namespace
}  // namespace kelvane::ui
