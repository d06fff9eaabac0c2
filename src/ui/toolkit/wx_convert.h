// The toolkit's plain values (colours, font descriptions, rectangles) as wx
// objects and back. Window thread only, with wx initialised.
#pragma once

#include <wx/colour.h>
#include <wx/font.h>
#include <wx/gdicmn.h>

#include "ui/layout/color.h"
#include "ui/layout/dpi_scaling.h"
#include "ui/layout/font_description.h"

namespace kelvane::ui {

wxColour ToWxColour(Color color);
Color ColorOf(const wxColour& colour);

// The font of `spec`; an empty face is the desktop's default UI font. A
// negative height is the letters' size, a positive one the line's, both in
// logical pixels.
wxFont MakeFont(const FontDescription& spec);
// `font` described with its face and its height in logical pixels.
FontDescription FontDescriptionOf(const wxFont& font);

wxRect ToWxRect(const Rect& rect);
Rect RectOf(const wxRect& rect);

}  // namespace kelvane::ui
