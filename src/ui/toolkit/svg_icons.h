// The program's icons: SVG files of our own (res/icons/), built into the
// program and drawn through wx (nanosvg) at the size asked for.
#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

#include <string_view>

namespace kelvane::ui {

enum IconId : int {
  kProgramIcon = 128,
  kIconNew = 138,
  kIconLoad = 139,
  kIconSave = 140,
  kIconSaveAs = 141,
  kIconStart = 142,
};

// The SVG text of icon `id`; empty for an id the program does not hold.
std::string_view SvgIconSource(int id);

// `svg` drawn into a square of `size` pixels, with its alpha channel; an
// invalid bitmap when the text is no drawable SVG or the size is not positive.
wxBitmap RasterizeSvg(std::string_view svg, int size);

// Icon `id` at `size` pixels; an invalid bitmap when it cannot be had.
wxBitmap LoadSvgIcon(int id, int size);

// The program icon at the sizes desktops ask for (16 to 256 pixels).
wxIconBundle ProgramIcons();

}  // namespace kelvane::ui
