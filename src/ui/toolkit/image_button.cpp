#include "ui/toolkit/image_button.h"

#include "ui/toolkit/svg_icons.h"

namespace kelvane::ui {

wxButton* MakeImageButton(wxWindow* parent, int id, const wxString& label, int iconId, int size96) {
  auto* button = new wxButton(parent, id, label);
  const wxBitmap icon = LoadSvgIcon(iconId, parent->FromDIP(size96));
  if (icon.IsOk()) button->SetBitmap(icon);
  return button;
}

}  // namespace kelvane::ui
