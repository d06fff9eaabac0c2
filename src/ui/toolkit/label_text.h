// A text on a window that names a control only where the program says so
// (accessible.h, LabelControl), or none: a heading, a note, a row's label.
//
// wxGTK ties every static text to the next control that takes the focus, a
// guess that names a page's fields by their neighbours' labels; a label
// text keeps out of that guess. Window thread only.
#pragma once

#include <wx/stattext.h>

namespace kelvane::ui {

class CLabelText : public wxStaticText {
 public:
  CLabelText(wxWindow* parent, const wxString& text) : wxStaticText(parent, wxID_ANY, text) {}

 protected:
  bool GTKWidgetNeedsMnemonic() const override { return false; }
};

}  // namespace kelvane::ui
