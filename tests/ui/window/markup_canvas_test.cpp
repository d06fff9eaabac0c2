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

TEST_F(MarkupCanvasTest, ALinkWrappedOverTwoLinesIsFoundWhereItWasDrawn) {
  WxMarkupCanvas canvas(dc_);
  FontDescription font;
  font.height = -13;
  markup_.SetFont(font);
  markup_.SetText(
      L"<hf>Hint:</hf> see <a href=\"https://kelvane.example/help\">the manual of the "
      L"program</a> for more.");
  const Rect box{10, 10, 170, 190};
  const Size size = markup_.GetExtent(canvas, box, 0);
  markup_.Draw(canvas);
  Save("markup-link");
  EXPECT_GE(markup_.lineCount(), 2);
  EXPECT_LE(size.width, box.width());
  std::vector<int> linkLines;
  for (const auto& segment : markup_.segments()) {
    if (!(segment.flags & CHTMLDrawText::Segment::kLink) || segment.box.width() <= 0) continue;
    const int x = (segment.box.left + segment.box.right) / 2;
    const int y = (segment.box.top + segment.box.bottom) / 2;
    EXPECT_EQ(markup_.FindLink(x, y), L"https://kelvane.example/help");
    EXPECT_GT(Inked(ToWxRect(segment.box)), 0) << "nothing drawn where the link is";
    if (linkLines.empty() || linkLines.back() != segment.line) linkLines.push_back(segment.line);
  }
  EXPECT_GE(linkLines.size(), 2u) << "the link was meant to wrap";
  EXPECT_EQ(markup_.FindLink(box.left + 1, box.top + 1), std::nullopt);
  // Nothing is drawn outside the box.
  EXPECT_EQ(Inked(wxRect(171, 0, 129, 200)), 0);
}

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
