#include "ui/layout/color.h"

#include <algorithm>

namespace kelvane::ui {

Color LightenColor(Color color, double f) {
  if (!(f > 0 && f <= 1)) return color;
  auto up = [f](uint8_t c) { return static_cast<uint8_t>(std::min(255.0, c + (255 - c) * f)); };
  return Rgb(up(RedOf(color)), up(GreenOf(color)), up(BlueOf(color)));
}

Color DarkenColor(Color color, double f) {
  if (!(f > 0 && f <= 1)) return color;
  auto down = [f](uint8_t c) { return static_cast<uint8_t>(std::max(0.0, c * (1 - f))); };
  return Rgb(down(RedOf(color)), down(GreenOf(color)), down(BlueOf(color)));
}

}  // namespace kelvane::ui
