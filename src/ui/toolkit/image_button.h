// A push button with one of the program's icons beside its label.
#pragma once

#include <wx/button.h>

namespace kelvane::ui {

// The button `id` labelled `label` with icon `iconId` (svg_icons.h) at
// `size96` pixels; a button without an icon when the icon cannot be drawn.
wxButton* MakeImageButton(wxWindow* parent, int id, const wxString& label, int iconId,
                          int size96 = 24);

}  // namespace kelvane::ui
