#include "ui/dialog_services.h"

#include <wx/msgdlg.h>

#include "platform/desktop_launch.h"

namespace kelvane::ui {
namespace {

class DesktopDialogs : public DialogServices {
 public:
  void ShowMessage(wxWindow* parent, const std::wstring& text, bool isError) override {
    wxMessageDialog dialog(parent, wxString(text), "Kelvane",
                           wxOK | (isError ? wxICON_ERROR : wxICON_INFORMATION));
    dialog.ShowModal();
  }

  bool AskYesNo(wxWindow* parent, const std::wstring& question) override {
    wxMessageDialog dialog(parent, wxString(question), "Kelvane", wxYES_NO | wxICON_QUESTION);
    return dialog.ShowModal() == wxID_YES;
  }

  bool OpenWithDesktop(const std::wstring& path) override {
    return platform::OpenWithDesktopApplication(path) == platform::DesktopOpen::kOpened;
  }
};

DesktopDialogs desktopDialogs;
DialogServices* current = &desktopDialogs;

}  // namespace

DialogServices& Dialogs() { return *current; }

DialogServices* ReplaceDialogServices(DialogServices* services) {
  DialogServices* previous = current;
  current = services ? services : &desktopDialogs;
  return previous;
}

}  // namespace kelvane::ui
