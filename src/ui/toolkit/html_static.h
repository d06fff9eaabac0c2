// A text in the markup of markup_text.h, wrapped to the control's width and
// as tall as it needs; a link in it opens with the desktop's program.
#pragma once

#include <wx/control.h>

#include <string>

#include "ui/layout/markup_text.h"

namespace kelvane::ui {

class CHTMLStatic : public wxControl {
 public:
  CHTMLStatic(wxWindow* parent, int id, const std::wstring& markup);

  void SetMarkup(const std::wstring& markup);
  const CHTMLDrawText& renderer() const { return text_; }

 protected:
  wxSize DoGetBestClientSize() const override;

 private:
  void Measure(int width);
  void OnPaint();

  mutable CHTMLDrawText text_;
  int measuredWidth_ = 0;
  int height_ = 0;
};

}  // namespace kelvane::ui
