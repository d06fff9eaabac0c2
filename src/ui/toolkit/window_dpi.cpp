#include "ui/toolkit/window_dpi.h"

#include <wx/font.h>
#include <wx/settings.h>
#include <wx/window.h>

#include <algorithm>
#include <cmath>

namespace kelvane::ui {

uint32_t GetWindowDpi(const wxWindow* window) {
  // FromDIP is the identity where logical pixels are device-independent.
  return window ? static_cast<uint32_t>(window->FromDIP(96)) : GetScreenDpi();
}

uint32_t GetScreenDpi() {
  static const uint32_t dpi = static_cast<uint32_t>(wxWindow::FromDIP(96, nullptr));
  return dpi;
}

uint32_t GetLayoutDpi(const wxWindow* window) {
  const uint32_t dpi = GetWindowDpi(window);
  const wxFont font = window && window->GetFont().IsOk()
                          ? window->GetFont()
                          : wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  // Points to logical pixels at 96 per inch, as logical pixels are on GTK.
  const double letters = font.GetFractionalPointSize() * 96.0 / 72.0;
  const double scale = std::max(1.0, letters / kDesignFontPixels);
  return static_cast<uint32_t>(std::lround(dpi * scale));
}

}  // namespace kelvane::ui
