// A font as the toolkit describes it before any font exists: face, height,
// weight, italic, underline. Heights follow the tables of the toolkit: a
// negative height is the character height in pixels at the window's DPI.
#pragma once

#include <string>

namespace kelvane::ui {

struct FontDescription {
  std::wstring face;  // empty: the desktop's default user-interface font
  int height = -11;
  int weight = 400;  // 400 normal, 600 semibold, 700 bold
  bool italic = false;
  bool underline = false;
  bool operator==(const FontDescription&) const = default;
};

}  // namespace kelvane::ui
