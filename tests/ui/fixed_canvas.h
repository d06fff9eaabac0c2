// A markup canvas with fixed metrics, as a screen would give them: every
// character is 6 pixels wide (7 in bold), a line is the font's height plus 3
// pixels of leading, of which 2 are internal. It keeps what is drawn.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout/markup_text.h"

namespace kelvane::test {

class FixedCanvas : public ui::MarkupCanvas {
 public:
  struct Drawn {
    std::wstring text;
    int x, y;
    ui::FontDescription font;
    ui::Color color;
  };

  Extent Measure(const ui::FontDescription& font, std::wstring_view text) override {
    // Any height a text asks for, kept to what the arithmetic can carry.
    const int lineHeight = std::abs(font.height % 4096) + 3;
    return Extent{static_cast<int>(text.size()) * (font.weight >= 700 ? 7 : 6), lineHeight,
                  lineHeight - 3, 2};
  }
  void DrawText(const ui::FontDescription& font, ui::Color color, int x, int y,
                std::wstring_view text) override {
    drawn.push_back(Drawn{std::wstring(text), x, y, font, color});
  }
  void FillRect(const ui::Rect&, ui::Color) override { ++fills; }
  void SetClip(const ui::Rect& rect) override { clip = rect; }
  void ResetClip() override { clip.reset(); }

  std::wstring AllText() const {
    std::wstring all;
    for (const Drawn& d : drawn) all += d.text;
    return all;
  }
  const Drawn* Find(std::wstring_view text) const {
    for (const Drawn& d : drawn) {
      if (d.text == text) return &d;
    }
    return nullptr;
  }

  std::vector<Drawn> drawn;
  int fills = 0;
  std::optional<ui::Rect> clip;
};

}  // namespace kelvane::test
