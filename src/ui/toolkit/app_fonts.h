// The application's fonts, by id: a fixed table of face, style and height at
// 96 DPI. The faces are those the program was designed with; where the
// desktop lacks one (Linux desktops lack them all), the desktop's default UI
// font stands in at the table's size and style, so no bitmap substitute
// appears.
#pragma once

#include <wx/font.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "ui/layout/font_description.h"

namespace kelvane::ui {

enum AppFontStyle : uint32_t {
  kFontBold = 1,      // weight 700
  kFontSemibold = 2,  // weight 600, before bold
  kFontItalic = 4,
  kFontUnderline = 8,
};

struct AppFontRow {
  int id;
  const wchar_t* face;
  uint32_t style;
  int height;  // at 96 DPI; negative: the character height
};

std::span<const AppFontRow> AppFontTable();

// The font of `row` at `dpi`: the row's face where `faceInstalled` says the
// desktop has it, else `defaultFace`; the height scaled above 96 DPI.
FontDescription ResolveAppFont(const AppFontRow& row, uint32_t dpi,
                               const std::function<bool(std::wstring_view face)>& faceInstalled,
                               std::wstring_view defaultFace);

// The font of table row `id` at `dpi` (see GetWindowDpi), made once per DPI
// for all rows and kept; the desktop's default UI font for an id not in the
// table. Window thread.
wxFont GetAppFont(int id, uint32_t dpi);

}  // namespace kelvane::ui
