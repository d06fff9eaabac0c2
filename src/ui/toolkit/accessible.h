// What a screen reader says of the program's controls: a control's name, the
// label that names it, a description, and texts drawn by the program that
// must be read as text.
//
// Debian's wxWidgets is built without its own accessibility layer, and GTK
// names a control only after a label that GTK was told about; wx tells it a
// guess (label_text.h). These set GTK's accessibility objects directly.
// Window thread only.
#pragma once

#include <wx/string.h>

class wxStaticText;
class wxWindow;

namespace kelvane::ui {

// The name a screen reader announces for `control`.
void SetAccessibleName(wxWindow* control, const wxString& name);
// What a screen reader adds after the name (a hint, a reason it is off).
void SetAccessibleDescription(wxWindow* control, const wxString& description);
// `label` names `control` (both the relation and the name).
void LabelControl(wxStaticText* label, wxWindow* control);
// A control that draws a text itself is read as that text and takes no focus.
void ReadAsText(wxWindow* control, const wxString& text);

}  // namespace kelvane::ui
