// The about box: the program's icon, name and version.
#pragma once

#include <wx/dialog.h>

namespace kelvane {
class LanguageTable;
}

namespace kelvane::ui {

class CAboutDlg : public wxDialog {
 public:
  CAboutDlg(wxWindow* parent, const LanguageTable& texts);
};

}  // namespace kelvane::ui
