#include "ui/layout/layout_tree.h"

#include <algorithm>
#include <stdexcept>

namespace kelvane::DARo3 {
namespace {

// Extents along and across a group's axis.
int& Along(ui::Size& size, bool horizontal) { return horizontal ? size.width : size.height; }
int& Across(ui::Size& size, bool horizontal) { return horizontal ? size.height : size.width; }
int Along(const ui::Size& size, bool horizontal) { return horizontal ? size.width : size.height; }
int Across(const ui::Size& size, bool horizontal) { return horizontal ? size.height : size.width; }

uint32_t FixedFlagAlong(bool horizontal) { return horizontal ? kFixedWidth : kFixedHeight; }

ui::Size MarginSize(const ui::Rect& margins) {
  return ui::Size{margins.left + margins.right, margins.top + margins.bottom};
}

// The least an item can take in its group, margins included.
ui::Size MinimumOuter(const LayoutItem& item) {
  if (item.IsGroup()) return item.minimum;
  const ui::Size margins = MarginSize(item.margins);
  return ui::Size{item.minimum.width + margins.width, item.minimum.height + margins.height};
}

ui::Rect Absolute(ui::Rect margins) {
  return ui::Rect{std::abs(margins.left), std::abs(margins.top), std::abs(margins.right),
                  std::abs(margins.bottom)};
}

}  // namespace

LayoutGroup::LayoutGroup() : root_(std::make_unique<LayoutItem>()) {
  root_->kind = kVerticalGroup;
  stack_.push_back(root_.get());
}

LayoutItem& LayoutGroup::OpenGroup() {
  if (stack_.empty())
    throw std::runtime_error("Stack ist leer! Es muss mindestens Root beinhalten!");
  return *stack_.back();
}

LayoutItem* LayoutGroup::BeginGroup(ItemKind kind, int spacing96, ui::Rect margins96) {
  LayoutItem& parent = OpenGroup();
  auto group = std::make_unique<LayoutItem>();
  group->kind = kind;
  group->spacing96 = spacing96;
  group->margins96 = Absolute(margins96);
  group->id = nextId_++;
  LayoutItem* added = group.get();
  parent.children.push_back(std::move(group));
  stack_.push_back(added);
  return added;
}

LayoutItem* LayoutGroup::AddItem(ItemKind kind, ui::Size size96, uint32_t flags, ui::Rect margins96,
                                 int id, bool hasWindow) {
  LayoutItem& parent = OpenGroup();
  auto item = std::make_unique<LayoutItem>();
  item->kind = kind;
  if (kind == kControl && size96.height == 0) size96.height = kDefaultControlHeight;
  item->size96 = size96;
  item->flags = flags;
  item->margins96 = Absolute(margins96);
  item->id = hasWindow ? id : nextId_++;
  item->hasWindow = hasWindow;
  LayoutItem* added = item.get();
  parent.children.push_back(std::move(item));
  return added;
}

bool LayoutGroup::EndGroup() {
  OpenGroup();  // an empty stack is a misuse
  if (stack_.size() == 1)
    throw std::runtime_error("Stack ist leer! Es muss mindestens Root beinhalten!");
  stack_.pop_back();
  return stack_.size() == 1;
}

void LayoutGroup::SetHidden(LayoutItem& item, bool hidden) {
  item.flags = hidden ? item.flags | kHidden : item.flags & ~kHidden;
  for (auto& child : item.children) SetHidden(*child, hidden);
}

bool LayoutGroup::Counts(const LayoutItem& item) const {
  return !item.IsHidden() || (options_ & kIncludeHidden);
}

void LayoutGroup::Rescale(LayoutItem& item) {
  item.margins = ui::ScaleToDpi(item.margins96, dpi_);
  item.spacing = ui::ScaleBetweenDpi(item.spacing96, 96, dpi_);
  item.minimum = ui::ScaleToDpi(item.size96, dpi_);
  const ui::Size margins = MarginSize(item.margins);
  item.outer = ui::Size{item.minimum.width + margins.width, item.minimum.height + margins.height};
  for (auto& child : item.children) Rescale(*child);
}

void LayoutGroup::ComputeMinimumSizes(LayoutItem& group) {
  const bool horizontal = group.IsHorizontal();
  group.share = 100;
  ui::Size preferred, minimum;
  int stretchable = 0;
  int counted = 0;
  bool allFixedWidth = true, allFixedHeight = true;
  for (auto& child : group.children) {
    child->share = 0;
    if (!Counts(*child)) continue;
    if (child->IsGroup()) ComputeMinimumSizes(*child);
    ++counted;
    const ui::Size least = MinimumOuter(*child);
    Along(preferred, horizontal) += Along(child->outer, horizontal);
    Along(minimum, horizontal) += Along(least, horizontal);
    Across(preferred, horizontal) =
        std::max(Across(preferred, horizontal), Across(child->outer, horizontal));
    Across(minimum, horizontal) = std::max(Across(minimum, horizontal), Across(least, horizontal));
    if (!(child->flags & FixedFlagAlong(horizontal)))
      stretchable += Along(child->outer, horizontal);
    allFixedWidth = allFixedWidth && (child->flags & kFixedWidth);
    allFixedHeight = allFixedHeight && (child->flags & kFixedHeight);
  }
  for (auto& child : group.children) {
    if (!Counts(*child) || (child->flags & FixedFlagAlong(horizontal)) || stretchable == 0)
      continue;
    child->share = std::clamp(Along(child->outer, horizontal) * 100.0 / stretchable, 0.0, 100.0);
  }
  const int spacing = group.spacing * std::max(0, counted - 1);
  const ui::Size margins = MarginSize(group.margins);
  Along(preferred, horizontal) += spacing;
  Along(minimum, horizontal) += spacing;
  group.outer = ui::Size{preferred.width + margins.width, preferred.height + margins.height};
  group.minimum = ui::Size{minimum.width + margins.width, minimum.height + margins.height};
  group.size96 = ui::ScaleTo96(group.minimum, dpi_);
  if (!(options_ & kKeepGroupFixedFlags) && &group != root_.get()) {
    if (allFixedWidth) group.flags |= kFixedWidth;
    if (allFixedHeight) group.flags |= kFixedHeight;
  }
}

ui::Size LayoutGroup::Recompute(uint32_t dpi) {
  dpi_ = dpi == 0 ? 96 : dpi;
  Rescale(*root_);
  ComputeMinimumSizes(*root_);
  return root_->outer;
}

void LayoutGroup::DistributeSpace(LayoutItem& group, ui::Rect rect) {
  const bool horizontal = group.IsHorizontal();
  group.outer = ui::Size{rect.width(), rect.height()};
  const ui::Size content{rect.width() - group.margins.left - group.margins.right,
                         rect.height() - group.margins.top - group.margins.bottom};
  int free = Along(content, horizontal);
  bool previousVisible = false;
  for (const auto& child : group.children) {
    const bool visible = !child->IsHidden();
    if (visible && previousVisible) free -= group.spacing;
    previousVisible = visible;
    if (visible && (child->flags & FixedFlagAlong(horizontal))) {
      free -= Along(MinimumOuter(*child), horizontal);
    }
  }
  free = std::max(free, 0);
  for (auto& child : group.children) {
    if (child->IsHidden()) continue;
    const ui::Size least = MinimumOuter(*child);
    ui::Size size = least;
    if (!(child->flags & FixedFlagAlong(horizontal))) {
      Along(size, horizontal) =
          std::max(Along(least, horizontal), static_cast<int>(free * child->share / 100));
    }
    const uint32_t fixedAcross = horizontal ? kFixedHeight : kFixedWidth;
    if (!(child->flags & fixedAcross)) {
      Across(size, horizontal) = std::max(Across(least, horizontal), Across(content, horizontal));
    }
    child->outer = size;
    if (child->IsGroup()) DistributeSpace(*child, ui::Rect{0, 0, size.width, size.height});
  }
}

void LayoutGroup::PlaceItems(LayoutItem& group, int x, int y, ui::Size client,
                             std::vector<Placement>* placements) {
  const bool horizontal = group.IsHorizontal();
  int runX = x + group.margins.left;
  int runY = y + group.margins.top;
  for (auto& child : group.children) {
    if (child->IsHidden()) continue;
    child->x = runX;
    child->y = runY;
    if (child->IsGroup()) {
      PlaceItems(*child, runX, runY, client, placements);
    } else if (child->hasWindow) {
      ui::Rect rect{runX + child->margins.left, runY + child->margins.top,
                    runX + child->outer.width - child->margins.right,
                    runY + child->outer.height - child->margins.bottom};
      if (child->flags & kFullClientWidth) rect.left = 0, rect.right = client.width;
      if (child->flags & kFullClientHeight) rect.top = 0, rect.bottom = client.height;
      if (child->flags & kAtTop) rect.bottom -= rect.top, rect.top = 0;
      placements->push_back(Placement{child.get(), rect});
    }
    (horizontal ? runX : runY) += Along(child->outer, horizontal) + group.spacing;
  }
}

std::vector<LayoutGroup::Placement> LayoutGroup::Arrange(ui::Size client) {
  DistributeSpace(*root_, ui::Rect{0, 0, client.width, client.height});
  std::vector<Placement> placements;
  PlaceItems(*root_, 0, 0, client, &placements);
  return placements;
}

}  // namespace kelvane::DARo3
