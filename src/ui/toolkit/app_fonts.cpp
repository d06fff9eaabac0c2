#include "ui/toolkit/app_fonts.h"

#include <wx/fontenum.h>
#include <wx/settings.h>

#include <map>
#include <utility>

#include "ui/layout/dpi_scaling.h"
#include "ui/toolkit/wx_convert.h"

namespace kelvane::ui {
namespace {

// Rows 13 ("MARLETT", a symbol font for the size grip) and 1000/1001 (an
// icon font) draw glyphs this toolkit paints otherwise on GTK; they stay in
// the table so the ids keep their meaning.
constexpr AppFontRow kRows[] = {
    {1, L"Segoe UI", 0, -11},
    {2, L"Segoe UI", 0, -11},
    {3, L"Tahoma", 0, -11},
    {4, L"MS Shell Dlg", 0, -11},
    {5, L"Segoe UI", kFontBold, -11},
    {6, L"Consolas", 0, -14},
    {7, L"Segoe UI", 0, -11},
    {8, L"Segoe UI", 0, -12},
    {9, L"Segoe UI", 0, -13},
    {10, L"Segoe UI", kFontBold, -11},
    {11, L"Segoe UI", kFontUnderline, -11},
    {12, L"Segoe UI", kFontBold | kFontUnderline, -11},
    {13, L"MARLETT", 0, -16},
    {14, L"Segoe UI", 0, -15},
    {15, L"Segoe UI", kFontBold, -15},
    {16, L"Segoe UI SemiBold", 0, -14},
    {17, L"Segoe UI SemiBold", kFontSemibold, -14},
    {1000, L"Segoe Fluent Icons", 0, -14},
    {1001, L"Segoe Fluent Icons", 0, -18},
};

}  // namespace

std::span<const AppFontRow> AppFontTable() { return kRows; }

FontDescription ResolveAppFont(const AppFontRow& row, uint32_t dpi,
                               const std::function<bool(std::wstring_view face)>& faceInstalled,
                               std::wstring_view defaultFace) {
  FontDescription spec;
  spec.face = faceInstalled(row.face) ? std::wstring(row.face) : std::wstring(defaultFace);
  spec.height =
      (dpi > 96 && row.height != 0) ? MulDiv(row.height, static_cast<int>(dpi), 96) : row.height;
  spec.weight = (row.style & kFontSemibold) ? 600 : (row.style & kFontBold) ? 700 : 400;
  spec.italic = (row.style & kFontItalic) != 0;
  spec.underline = (row.style & kFontUnderline) != 0;
  return spec;
}

wxFont GetAppFont(int id, uint32_t dpi) {
  static std::map<std::pair<int, uint32_t>, wxFont> fonts;
  const wxFont guiFont = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  if (fonts.find({kRows[0].id, dpi}) == fonts.end()) {
    const std::wstring defaultFace = guiFont.GetFaceName().ToStdWstring();
    auto installed = [](std::wstring_view face) {
      return wxFontEnumerator::IsValidFacename(wxString(face.data(), face.size()));
    };
    for (const AppFontRow& row : kRows) {
      fonts[{row.id, dpi}] = MakeFont(ResolveAppFont(row, dpi, installed, defaultFace));
    }
  }
  const auto found = fonts.find({id, dpi});
  return found != fonts.end() ? found->second : guiFont;
}

}  // namespace kelvane::ui
