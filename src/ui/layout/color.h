// Colours as the toolkit's tables and texts give them: red, green and blue in
// the low three bytes (0x00BBGGRR), so the values read like the tables.
#pragma once

#include <cstdint>

namespace kelvane::ui {

using Color = uint32_t;

constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
constexpr uint8_t RedOf(Color c) { return c & 0xFF; }
constexpr uint8_t GreenOf(Color c) { return (c >> 8) & 0xFF; }
constexpr uint8_t BlueOf(Color c) { return (c >> 16) & 0xFF; }

// No colour set; texts draw it as black.
inline constexpr Color kUnsetColor = 0xFFFFFFFF;

// Each of red, green, blue moved towards 255 (Lighten) or 0 (Darken) by the
// fraction f, truncated; unchanged unless 0 < f <= 1.
Color LightenColor(Color color, double f);
Color DarkenColor(Color color, double f);

}  // namespace kelvane::ui
