// The arithmetic of the dialog layout: a tree of horizontal and vertical
// groups holding controls, spacers and separators, with sizes and margins
// given at 96 DPI. It computes the minimum sizes bottom-up, shares the free
// space of each group among its stretchable items top-down, and gives every
// item with a window its rectangle in the client area. No window is involved:
// DialogLayout (dialog_layout.h) feeds it and moves the controls.
//
// Sizes: an item's `minimum` is its size at the current DPI without margins
// for controls, with margins for groups; `outer` is what it takes in its
// group, margins included. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/layout/dpi_scaling.h"

namespace kelvane::DARo3 {

enum ItemKind : uint8_t {
  kVerticalGroup = 1,
  kHorizontalGroup = 2,
  kControl = 4,
  kSpacer = 5,
  kSeparator = 6,
};

enum ItemFlag : uint32_t {
  kFixedWidth = 0x001,
  kFixedHeight = 0x002,
  kFullClientWidth = 0x100,   // placed at x = 0 across the whole client width
  kFullClientHeight = 0x200,  // placed at y = 0 down the whole client height
  kAtTop = 0x400,             // placed at y = 0
  kHidden = 0x800,            // takes no space
};

// Options of the whole layout.
enum LayoutOption : uint32_t {
  kKeepGroupFixedFlags = 0x004,  // groups do not take the fixed flags of their children
  kIncludeHidden = 0x008,        // hidden items count in the minimum sizes
};

struct LayoutItem {
  bool IsGroup() const { return kind != kControl && kind != kSpacer && kind != kSeparator; }
  bool IsHorizontal() const { return kind == kHorizontalGroup || kind == 9; }
  bool IsHidden() const { return (flags & kHidden) != 0; }

  ui::Rect margins96;  // left, top, right, bottom at 96 DPI
  ui::Rect margins;    // at the current DPI
  ui::Size size96;     // given size; for groups the computed minimum at 96 DPI
  ui::Size minimum;
  ui::Size outer;
  int x = 0, y = 0;  // the item's cell in the client area
  int spacing96 = 0, spacing = 0;
  double share = 0;  // percent of its group's free space along the group's axis
  uint8_t kind = kControl;
  uint32_t flags = 0;
  int id = 0;              // the control's id, or a number of the layout's own
  bool hasWindow = false;  // whether Place gives it a rectangle
  std::vector<std::unique_ptr<LayoutItem>> children;
};

class LayoutGroup {
 public:
  // Height of a control given without one, at 96 DPI.
  static constexpr int kDefaultControlHeight = 22;

  LayoutGroup();

  // Opens a group as the last child of the open group.
  LayoutItem* BeginGroup(ItemKind kind, int spacing96, ui::Rect margins96 = {});
  // Adds an item to the open group; a height of 0 becomes the default.
  LayoutItem* AddItem(ItemKind kind, ui::Size size96, uint32_t flags, ui::Rect margins96, int id,
                      bool hasWindow);
  // Closes the open group; true when that brought the layout back to its root.
  bool EndGroup();

  LayoutItem& root() { return *root_; }
  const LayoutItem& root() const { return *root_; }
  // The group items are added to. Throws std::runtime_error when the stack is
  // empty, which only a misuse of EndGroup can make it.
  LayoutItem& OpenGroup();

  void set_options(uint32_t options) { options_ = options; }
  uint32_t dpi() const { return dpi_; }

  // Rescales every item to `dpi`, computes the minimum sizes and returns the
  // root's outer size: the smallest client area that holds everything.
  ui::Size Recompute(uint32_t dpi);
  // Shares the client area out and gives each visible item with a window its
  // rectangle (the cell less its margins).
  struct Placement {
    const LayoutItem* item;
    ui::Rect rect;
  };
  std::vector<Placement> Arrange(ui::Size client);

  // Hides or shows the item and everything below it.
  static void SetHidden(LayoutItem& item, bool hidden);

 private:
  void Rescale(LayoutItem& item);
  void ComputeMinimumSizes(LayoutItem& group);
  void DistributeSpace(LayoutItem& group, ui::Rect rect);
  void PlaceItems(LayoutItem& group, int x, int y, ui::Size client,
                  std::vector<Placement>* placements);
  bool Counts(const LayoutItem& item) const;

  std::unique_ptr<LayoutItem> root_;
  std::vector<LayoutItem*> stack_;  // the open groups, the root at the bottom
  uint32_t dpi_ = 96;
  uint32_t options_ = 0;
  int nextId_ = 0x7000;
};

}  // namespace kelvane::DARo3
