#include "ui/toolkit/markup_canvas_wx.h"

#include <wx/brush.h>
#include <wx/pen.h>

#include "ui/toolkit/wx_convert.h"

namespace kelvane::ui {

WxMarkupCanvas::WxMarkupCanvas(wxDC& dc) : dc_(dc) {
  dc_.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
}

WxMarkupCanvas::~WxMarkupCanvas() = default;

const wxFont& WxMarkupCanvas::FontFor(const FontDescription& spec) {
  for (const auto& [known, font] : fonts_) {
    if (known == spec) return font;
  }
  fonts_.emplace_back(spec, MakeFont(spec));
  return fonts_.back().second;
}

MarkupCanvas::Extent WxMarkupCanvas::Measure(const FontDescription& font, std::wstring_view text) {
  dc_.SetFont(FontFor(font));
  const wxFontMetrics metrics = dc_.GetFontMetrics();
  wxCoord width = 0, height = 0;
  dc_.GetTextExtent(wxString(text.data(), text.size()), &width, &height);
  if (text.empty()) width = 0;
  return Extent{width, std::max(height, metrics.height), metrics.ascent, metrics.internalLeading};
}

void WxMarkupCanvas::DrawText(const FontDescription& font, Color color, int x, int y,
                              std::wstring_view text) {
  dc_.SetFont(FontFor(font));
  dc_.SetTextForeground(ToWxColour(color));
  dc_.DrawText(wxString(text.data(), text.size()), x, y);
}

void WxMarkupCanvas::FillRect(const Rect& rect, Color color) {
  dc_.SetPen(*wxTRANSPARENT_PEN);
  dc_.SetBrush(wxBrush(ToWxColour(color)));
  dc_.DrawRectangle(ToWxRect(rect));
}

void WxMarkupCanvas::SetClip(const Rect& rect) { dc_.SetClippingRegion(ToWxRect(rect)); }

void WxMarkupCanvas::ResetClip() { dc_.DestroyClippingRegion(); }

}  // namespace kelvane::ui
