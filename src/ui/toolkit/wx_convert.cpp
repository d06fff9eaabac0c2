#include "ui/toolkit/wx_convert.h"

#include <wx/settings.h>

#include <cmath>
#include <cstdlib>

namespace kelvane::ui {

wxColour ToWxColour(Color color) { return wxColour(RedOf(color), GreenOf(color), BlueOf(color)); }

Color ColorOf(const wxColour& colour) {
  if (!colour.IsOk()) return Rgb(0, 0, 0);
  return Rgb(colour.Red(), colour.Green(), colour.Blue());
}

wxFont MakeFont(const FontDescription& spec) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  if (!spec.face.empty()) font.SetFaceName(wxString(spec.face));
  // A negative height is the letters' size (the em square) in logical
  // pixels, 96 to the inch: a point size. A positive one is the height of a
  // whole line, which is what wx's pixel size matches.
  if (spec.height < 0) font.SetFractionalPointSize(-spec.height * 72.0 / 96.0);
  if (spec.height > 0) font.SetPixelSize(wxSize(0, spec.height));
  font.SetNumericWeight(spec.weight);
  font.SetStyle(spec.italic ? wxFONTSTYLE_ITALIC : wxFONTSTYLE_NORMAL);
  font.SetUnderlined(spec.underline);
  return font;
}

FontDescription FontDescriptionOf(const wxFont& font) {
  FontDescription spec;
  if (!font.IsOk()) return spec;
  spec.face = font.GetFaceName().ToStdWstring();
  // Points to logical pixels: 96 per inch, as logical pixels are on GTK.
  spec.height = -static_cast<int>(std::lround(font.GetFractionalPointSize() * 96.0 / 72.0));
  spec.weight = font.GetNumericWeight();
  spec.italic = font.GetStyle() != wxFONTSTYLE_NORMAL;
  spec.underline = font.GetUnderlined();
  return spec;
}

wxRect ToWxRect(const Rect& rect) {
  return wxRect(rect.left, rect.top, rect.width(), rect.height());
}

Rect RectOf(const wxRect& rect) {
  return Rect{rect.GetLeft(), rect.GetTop(), rect.GetLeft() + rect.GetWidth(),
              rect.GetTop() + rect.GetHeight()};
}

}  // namespace kelvane::ui
