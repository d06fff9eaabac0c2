// The DPI of a window or of the screen, as the toolkit reports it, for the
// 96-DPI rules of dpi_scaling.h.
#pragma once

#include <cstdint>

class wxWindow;

namespace kelvane::ui {

// The DPI whose scaling gives the screen's logical pixels: 96 on GTK.
uint32_t GetScreenDpi();

// The DPI whose scaling gives the window's logical pixels: 96 on GTK, the
// window's DPI where logical pixels are physical (Windows); the screen's
// without a window.
uint32_t GetWindowDpi(const wxWindow* window);

// The letter height the 96-DPI sizes of dialogs were designed for: the 8-point
// dialog font, 11 pixels.
inline constexpr double kDesignFontPixels = 11.0;

// The DPI a dialog layout of `window` works at: the window's, raised by as
// much as the window's font is larger than the design font, as dialog units
// grow with the dialog font (GTK's default is 10 points where the design had
// 8, and the texts must still fit). Never below the window's DPI.
uint32_t GetLayoutDpi(const wxWindow* window);

}  // namespace kelvane::ui
