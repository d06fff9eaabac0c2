#include "ui/dpi_scaling.h"

#include <wx/font.h>
#include <wx/settings.h>
#include <wx/window.h>

#include <algorithm>
#include <cmath>

namespace kelvane::ui {
namespace {

int RoundedScale(int value, uint32_t numerator, uint32_t denominator) {
  return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

}  // namespace

int MulDiv(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  return static_cast<int>(
      std::lround(static_cast<double>(value) * numerator / static_cast<double>(denominator)));
}

int ScaleForDpi(int value, int screenDpi) {
  if (value == 0 || screenDpi < 97) return value;
  return MulDiv(value, screenDpi, 96);
}

int ScaleBetweenDpi(int value, uint32_t fromDpi, uint32_t toDpi) {
  if (fromDpi == 0 || toDpi == 0 || fromDpi == toDpi) return value;
  return RoundedScale(value, toDpi, fromDpi);
}

Rect ScaleToDpi(const Rect& rect, uint32_t dpi) {
  if (dpi == 0 || dpi == 96) return rect;
  return Rect{RoundedScale(rect.left, dpi, 96), RoundedScale(rect.top, dpi, 96),
              RoundedScale(rect.right, dpi, 96), RoundedScale(rect.bottom, dpi, 96)};
}

Size ScaleToDpi(const Size& size, uint32_t dpi) {
  if (dpi == 0 || dpi == 96) return size;
  return Size{RoundedScale(size.width, dpi, 96), RoundedScale(size.height, dpi, 96)};
}

Size ScaleTo96(const Size& size, uint32_t dpi) {
  if (dpi == 0 || dpi == 96) return size;
  return Size{RoundedScale(size.width, 96, dpi), RoundedScale(size.height, 96, dpi)};
}

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
