// The application's named colours, looked up by id. The table is fixed: the
// light appearance of the toolkit's controls, with three entries taken from
// the desktop's theme (grey text, dialog face, dark shadow).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ui/layout/color.h"

namespace kelvane::ui {

enum AppColorId : uint32_t {
  kListSelectBox = 0,
  kListSelectBoxBorder,
  kListText,
  kListSelectText,
  kListGrayText,
  kListActiveColumn,
  kListDropSort,
  kListBackground,
  kListBackgroundStripe,
  kListHover,
  kListHeaderText,
  kBlueText,
  kRedText,
  kUrlText,
  kDarkMode,  // a switch: 0 off
  kBar,
  kDialogBackground,
  kDialogText,
  kPageBackground,
  kEnableDialogTheme,  // a switch: 0 off
  kBannerBackground,
  kBannerText,
  kGrayMode,  // a switch: 0 off
  kCardGroup,
  kCardSubGroup,
  kRibbonAccent,
  kTabCtrl,
  kLine,
  kAppColorEnd,  // the end entry: no key, no colour
};

// The theme colours the table takes from the desktop.
enum class SystemColor { kGrayText, kButtonFace, kDarkShadow };

struct AppColorEntry {
  uint32_t id;
  const wchar_t* key;
  Color color;         // in use
  Color defaultColor;  // as the program starts
};

// The table with the desktop's colours from `system`, end entry included.
std::vector<AppColorEntry> BuildAppColorTable(const std::function<Color(SystemColor)>& system);

// The colour of entry `id` in the process's table (made on first use from
// the desktop's theme); 0 for an id not in the table. Window thread.
Color GetAppColor(uint32_t id);

}  // namespace kelvane::ui
