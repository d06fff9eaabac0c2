#include "ui/toolkit/svg_icons.h"

#include <wx/bmpbndl.h>
#include <wx/icon.h>

#include <string>

namespace kelvane::ui {

wxBitmap RasterizeSvg(std::string_view svg, int size) {
  if (svg.empty() || size <= 0) return wxBitmap();
  // nanosvg parses in place and needs the text zero-terminated.
  std::string text(svg);
  const wxBitmapBundle bundle = wxBitmapBundle::FromSVG(text.data(), wxSize(size, size));
  if (!bundle.IsOk()) return wxBitmap();
  wxBitmap bitmap = bundle.GetBitmap(wxSize(size, size));
  if (!bitmap.IsOk() || bitmap.GetWidth() != size || bitmap.GetHeight() != size) return wxBitmap();
  return bitmap;
}

wxBitmap LoadSvgIcon(int id, int size) { return RasterizeSvg(SvgIconSource(id), size); }

wxIconBundle ProgramIcons() {
  wxIconBundle icons;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const wxBitmap bitmap = LoadSvgIcon(kProgramIcon, size);
    if (!bitmap.IsOk()) continue;
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    icons.AddIcon(icon);
  }
  return icons;
}

}  // namespace kelvane::ui
