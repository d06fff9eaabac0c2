// Lengths at 96 DPI and at the DPI of a window or of the screen.
//
// The dialog layout and the markup renderer keep the 96-DPI rules of the
// program (sizes are written at 96 DPI and scaled to the window). On GTK, wx's
// logical pixels already are device-independent (FromDIP is the identity, and
// GetDPI() reports 192 at a scale of 2), so the DPI fed to these rules is the
// one that yields logical pixels: GetWindowDpi gives 96 there and nothing is
// scaled twice (window_dpi.h asks the toolkit). Pure functions; any thread.
#pragma once

#include <cstdint>

namespace kelvane::ui {

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// value × numerator / denominator, rounded to the nearest, as Windows' MulDiv
// does (halves away from zero); -1 for a denominator of 0.
int MulDiv(int value, int numerator, int denominator);

// A 96-DPI length at the screen's DPI: unchanged for 0 or a screen DPI below
// 97, else MulDiv(value, dpi, 96).
int ScaleForDpi(int value, int screenDpi);

// `value` from one DPI to another, rounded half away from zero; unchanged when
// either DPI is 0 or both are equal.
int ScaleBetweenDpi(int value, uint32_t fromDpi, uint32_t toDpi);

// Each coordinate × dpi / 96 (ScaleToDpi) or × 96 / dpi (ScaleTo96), rounded
// half away from zero; unchanged for a DPI of 0 or 96.
Rect ScaleToDpi(const Rect& rect, uint32_t dpi);
Size ScaleToDpi(const Size& size, uint32_t dpi);
Size ScaleTo96(const Size& size, uint32_t dpi);

}  // namespace kelvane::ui
