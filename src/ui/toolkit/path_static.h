// A one-line status text that never wraps: a text too long for the control
// loses its middle, so both ends of a path stay readable.
#pragma once

#include <wx/stattext.h>

#include <string>

namespace kelvane::ui {

class CPathStatic : public wxStaticText {
 public:
  CPathStatic(wxWindow* parent, int id, const std::wstring& text, bool rightAligned = false);

  // Shows `text` as it is (no mnemonics); repaints only when it changed.
  void SetPath(const std::wstring& text);
  const std::wstring& path() const { return text_; }

 protected:
  // A status line names no control (see label_text.h).
  bool GTKWidgetNeedsMnemonic() const override { return false; }

 private:
  std::wstring text_;
};

}  // namespace kelvane::ui
