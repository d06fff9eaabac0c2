#include "ui/toolkit/html_static.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

#include "ui/toolkit/accessible.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/toolkit/markup_canvas_wx.h"
#include "ui/toolkit/window_dpi.h"
#include "ui/toolkit/wx_convert.h"

namespace kelvane::ui {
namespace {

// What the markup says, without its tags.
std::wstring PlainText(std::wstring_view markup) {
  std::wstring text;
  bool inTag = false;
  for (const wchar_t c : markup) {
    if (c == L'<') inTag = true;
    else if (c == L'>') inTag = false;
    else if (!inTag) text.push_back(c);
  }
  return text;
}

}  // namespace

CHTMLStatic::CHTMLStatic(wxWindow* parent, int id, const std::wstring& markup)
    : wxControl(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE) {
  text_.SetFont(FontDescriptionOf(GetFont()));
  text_.SetTextColor(ColorOf(GetForegroundColour()));
  text_.SetDpi(static_cast<int>(GetWindowDpi(this)));
  SetMarkup(markup);
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) { OnPaint(); });
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    const int width = GetClientSize().x;
    if (width > 0 && width != measuredWidth_) {
      const int before = height_;
      Measure(width);
      // Taller or shorter at this width: the page lays itself out again,
      // after this event.
      if (height_ != before) {
        SetMinSize(wxSize(-1, height_));
        InvalidateBestSize();
        CallAfter([this] {
          if (GetParent()) GetParent()->Layout();
        });
      }
    }
    Refresh();
    event.Skip();
  });
  Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
    if (const auto link = text_.FindLink(event.GetX(), event.GetY())) {
      Dialogs().OpenWithDesktop(*link);
    }
  });
}

void CHTMLStatic::SetMarkup(const std::wstring& markup) {
  text_.SetText(markup);
  SetLabel(wxString(markup));
  // A text with a link keeps the focus, so the link can be reached.
  if (markup.find(L"<a") == std::wstring::npos) ReadAsText(this, wxString(PlainText(markup)));
  measuredWidth_ = 0;
  const int width = GetClientSize().x;
  Measure(width > 0 ? width : FromDIP(300));
  SetMinSize(wxSize(-1, height_));
  Refresh();
}

void CHTMLStatic::Measure(int width) {
  wxClientDC dc(this);
  WxMarkupCanvas canvas(dc);
  const Size size = text_.GetExtent(canvas, Rect{0, 0, width, 100000}, 0, true);
  measuredWidth_ = width;
  height_ = size.height;
}

wxSize CHTMLStatic::DoGetBestClientSize() const { return wxSize(FromDIP(300), height_); }

void CHTMLStatic::OnPaint() {
  // The page's own background shows through: GTK draws it, not we.
  wxPaintDC dc(this);
  const wxSize client = GetClientSize();
  if (client.x <= 0 || client.y <= 0) return;
  WxMarkupCanvas canvas(dc);
  const Rect box{0, 0, client.x, client.y};
  if (measuredWidth_ != client.x) text_.GetExtent(canvas, box, 0, true);
  text_.SetMarkerBackground(ColorOf(GetBackgroundColour()));
  text_.Draw(canvas, &box);
}

}  // namespace kelvane::ui
