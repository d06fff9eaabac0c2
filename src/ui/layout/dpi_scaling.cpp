#include "ui/layout/dpi_scaling.h"

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

}  // namespace kelvane::ui
