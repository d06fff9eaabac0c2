// The dialog layout's arithmetic, without any window.
#include "ui/layout/layout_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace kelvane::ui {
void PrintTo(const Rect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
void PrintTo(const Size& s, std::ostream* out) { *out << s.width << " x " << s.height; }
}  // namespace kelvane::ui

namespace kelvane::DARo3 {
namespace {

using ui::Rect;
using ui::Size;

class LayoutTreeTest : public ::testing::Test {
 protected:
  LayoutItem* Control(Size size, uint32_t flags = 0, Rect margins = {}) {
    return layout_.AddItem(kControl, size, flags, margins, ++id_, true);
  }
  // Arranges the layout in `client` and returns the rectangle of each control, by id.
  std::map<int, Rect> Arrange(Size client, uint32_t dpi = 96) {
    layout_.Recompute(dpi);
    std::map<int, Rect> rects;
    for (const auto& placement : layout_.Arrange(client))
      rects[placement.item->id] = placement.rect;
    return rects;
  }

  LayoutGroup layout_;
  int id_ = 0;
};

TEST_F(LayoutTreeTest, AHiddenItemTakesNoSpace) {
  layout_.BeginGroup(kVerticalGroup, 10);
  Control({200, 20}, kFixedHeight);
  LayoutItem* middle = Control({200, 30}, kFixedHeight);
  Control({200, 20}, kFixedHeight);
  ASSERT_TRUE(layout_.EndGroup());
  EXPECT_EQ(layout_.Recompute(96), (Size{200, 90}));
  LayoutGroup::SetHidden(*middle, true);
  EXPECT_EQ(layout_.Recompute(96), (Size{200, 50}));
  auto rects = Arrange({200, 50});
  EXPECT_EQ(rects.count(2), 0u);
  EXPECT_EQ(rects[3], (Rect{0, 30, 200, 50}));
  LayoutGroup::SetHidden(*middle, false);
  EXPECT_EQ(Arrange({200, 90})[2], (Rect{0, 30, 200, 60}));
}

TEST_F(LayoutTreeTest, SizesAndMarginsScaleWithTheDpi) {
  layout_.BeginGroup(kVerticalGroup, 4, Rect{8, 5, 8, 8});
  Control({380, 20});
  Control({180, 20}, 0, Rect{0, 5, 0, 5});
  ASSERT_TRUE(layout_.EndGroup());
  layout_.Recompute(144);
  const LayoutItem& group = *layout_.root().children.front();
  EXPECT_EQ(group.children[0]->minimum, (Size{570, 30}));
  EXPECT_EQ(group.children[1]->margins, (Rect{0, 8, 0, 8}));  // 7.5 rounds away from zero
  EXPECT_EQ(group.spacing, 6);
  // 12 + 570 + 12 wide; 8 + 30 + 6 + (8 + 30 + 8) + 12 high.
  EXPECT_EQ(layout_.root().outer, (Size{594, 102}));
}

// The run window's layout: status lines, a row of two halves, the bar, a
// separator across the dialog, and a fixed button at the right.
TEST_F(LayoutTreeTest, TheRunWindowsTreeFillsTheDialog) {
  layout_.root().margins96 = Rect{8, 5, 8, 8};
  layout_.BeginGroup(kVerticalGroup, 0);
  Control({380, 20});
  layout_.BeginGroup(kHorizontalGroup, 0, Rect{0, 5, 0, 5});
  Control({180, 20});
  Control({180, 20});
  layout_.EndGroup();
  Control({380, 20});
  layout_.AddItem(kSeparator, {1, 1}, kFixedWidth | kFixedHeight | kFullClientWidth,
                  Rect{0, 5, 0, 5}, ++id_, true);
  layout_.BeginGroup(kHorizontalGroup, 0);
  layout_.AddItem(kSpacer, {1, 0}, kFixedHeight, {}, 0, false);
  Control({80, 0}, kFixedWidth | kFixedHeight);
  layout_.EndGroup();
  ASSERT_TRUE(layout_.EndGroup());
  const Size minimum = layout_.Recompute(96);
  EXPECT_EQ(minimum, (Size{396, 20 + 30 + 20 + 11 + 22 + 13}));
  auto rects = Arrange({500, minimum.height});
  EXPECT_EQ(rects[1], (Rect{8, 5, 492, 25}));
  EXPECT_EQ(rects[2], (Rect{8, 30, 250, 50}));
  EXPECT_EQ(rects[3], (Rect{250, 30, 492, 50}));
  EXPECT_EQ(rects[4], (Rect{8, 55, 492, 75}));
  EXPECT_EQ(rects[5], (Rect{0, 80, 500, 81}));  // the separator spans the client width
  EXPECT_EQ(rects[6], (Rect{412, 86, 492, 108}));
}

TEST_F(LayoutTreeTest, ClosingMoreGroupsThanWereOpenedIsAnError) {
  EXPECT_THROW(layout_.EndGroup(), std::runtime_error);
  try {
    layout_.EndGroup();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Stack ist leer! Es muss mindestens Root beinhalten!");
  }
}

}  // namespace
}  // namespace kelvane::DARo3
