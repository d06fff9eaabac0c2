// The markup renderer's canvas over a wx device context: fonts are made from
// their descriptions once per canvas, text is drawn transparently.
#pragma once

#include <wx/dc.h>

#include <utility>
#include <vector>

#include "ui/layout/markup_text.h"

namespace kelvane::ui {

class WxMarkupCanvas : public MarkupCanvas {
 public:
  explicit WxMarkupCanvas(wxDC& dc);
  ~WxMarkupCanvas() override;

  Extent Measure(const FontDescription& font, std::wstring_view text) override;
  void DrawText(const FontDescription& font, Color color, int x, int y,
                std::wstring_view text) override;
  void FillRect(const Rect& rect, Color color) override;
  void SetClip(const Rect& rect) override;
  void ResetClip() override;

 private:
  const wxFont& FontFor(const FontDescription& spec);

  wxDC& dc_;
  std::vector<std::pair<FontDescription, wxFont>> fonts_;
};

}  // namespace kelvane::ui
