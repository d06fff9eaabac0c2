#include "ui/toolkit/path_static.h"

namespace kelvane::ui {

CPathStatic::CPathStatic(wxWindow* parent, int id, const std::wstring& text, bool rightAligned)
    : wxStaticText(parent, id, wxString(), wxDefaultPosition, wxDefaultSize,
                   wxST_ELLIPSIZE_MIDDLE | wxST_NO_AUTORESIZE |
                       (rightAligned ? wxALIGN_RIGHT : wxALIGN_LEFT)) {
  SetPath(text);
}

void CPathStatic::SetPath(const std::wstring& text) {
  if (text == text_ && !GetLabel().empty()) return;
  text_ = text;
  // A file name may hold "&", which a label would take for a mnemonic.
  SetLabelText(wxString(text_));
}

}  // namespace kelvane::ui
