// The markup renderer's canvas over a wx device context: fonts are made from
// their descriptions once per canvas, text is drawn transparently.
#pragma once

#include <wx/dc.h>

#include <utility>
#include <vector>

#include "ui/markup_text.h"

namespace kelvane::ui {

class WxMarkupCanvas : public MarkupCanvas {
 public:
  explicit WxMarkupCanvas(wxDC& dc);
  ~WxMarkupCanvas() override;

  Extent Measure(const FontSpec& font, std::wstring_view text) override;
  void DrawText(const FontSpec& font, Color color, int x, int y, std::wstring_view text) override;
  void FillRect(const Rect& rect, Color color) override;
  void SetClip(const Rect& rect) override;
  void ResetClip() override;

 private:
  const wxFont& FontFor(const FontSpec& spec);

  wxDC& dc_;
  std::vector<std::pair<FontSpec, wxFont>> fonts_;
};

}  // namespace kelvane::ui
