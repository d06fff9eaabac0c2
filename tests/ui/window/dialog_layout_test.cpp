// The dialog layout in real windows: where the controls go, what the user can
// and cannot drag, and the placement kept in the profile.
#include "ui/toolkit/dialog_layout.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/stattext.h>

#include "profile/profile_store.h"
#include "support/test_support.h"
#include "ui/layout/window_placement.h"
#include "window/window_test_support.h"

namespace kelvane::DARo3 {
namespace {

// A dialog of two stretchable lines side by side over a button row.
class TwoLines : public DialogLayout {
 public:
  TwoLines(std::string name, ProfileStore* profile, uint32_t fixedAxes = 0)
      : DialogLayout(nullptr, "Layout test", std::move(name), profile) {
    SetFixedAxes(fixedAxes);
    left = new wxStaticText(this, 11, "left");
    right = new wxStaticText(this, 12, "right");
    middle = new wxStaticText(this, 13, "middle");
    button = new wxButton(this, 14, "Button");
    BeginGroup(kVerticalGroup);
    BeginGroup(kHorizontalGroup, 0);
    AddControl(left, kFixedHeight, ui::Size{100, 20});
    AddControl(right, kFixedHeight, ui::Size{300, 20});
    EndGroup();
    middleItem = AddControl(middle, kFixedHeight, ui::Size{400, 20});
    BeginGroup(kHorizontalGroup);
    AddSpacer();
    AddControl(button, kFixedWidth | kFixedHeight, ui::Size{80, 0});
    EndGroup();
    EndGroup();
  }
  wxStaticText *left, *right, *middle;
  wxButton* button;
  LayoutItem* middleItem;
};

using test::Settle;
using test::WhileShown;

TEST(DialogLayoutWindowTest, ControlsShareTheWidthByTheirSizesAndTheButtonKeepsItsOwn) {
  TwoLines dialog("", nullptr);
  WhileShown(dialog, [&] {
    dialog.SetClientSize(dialog.minimumClientSize().width + 400, dialog.minimumClientSize().height);
    Settle();
    const wxRect left = dialog.left->GetRect(), right = dialog.right->GetRect();
    const int client = dialog.GetClientSize().x;
    // 100 : 300 of the row, one beside the other inside the margins.
    EXPECT_NEAR(right.width, 3 * left.width, 2);
    EXPECT_EQ(left.GetRight() + 1, right.GetLeft());
    EXPECT_GT(left.GetLeft(), 0);
    EXPECT_EQ(client - (right.GetRight() + 1), left.GetLeft()) << "the margins are alike";
    const wxRect button = dialog.button->GetRect();
    EXPECT_EQ(button.GetRight(), right.GetRight()) << "the spacer pushes the button right";
    const int natural = std::max(ui::ScaleToDpi(ui::Size{80, 0}, dialog.dpi()).width,
                                 dialog.button->GetBestSize().x);
    EXPECT_EQ(button.width, natural);
    test::SaveScreenshot(&dialog, "dialog-layout");
  });
}

// A dialog without a name opens centred at its minimum; a fixed height
// cannot be dragged, the width can.
TEST(DialogLayoutWindowTest, ADialogWithoutANameOpensCentredAtItsMinimumAndKeepsAFixedHeight) {
  TwoLines dialog("", nullptr, kHeightFixed);
  WhileShown(dialog, [&] {
    const int height = dialog.GetClientSize().y;
    EXPECT_EQ(dialog.GetClientSize().x, dialog.minimumClientSize().width);
    EXPECT_EQ(height, dialog.minimumClientSize().height);
    const wxSize screen = wxGetDisplaySize();
    const wxRect rect = dialog.GetScreenRect();
    EXPECT_NEAR(rect.GetLeft() + rect.width / 2, screen.x / 2, 20);
    EXPECT_NEAR(rect.GetTop() + rect.height / 2, screen.y / 2, 40);
    dialog.SetClientSize(dialog.GetClientSize().x + 100, height + 200);
    Settle();
    EXPECT_EQ(dialog.GetClientSize().y, height);
    EXPECT_GT(dialog.GetClientSize().x, dialog.minimumClientSize().width);
  });
}

}  // namespace
}  // namespace kelvane::DARo3
