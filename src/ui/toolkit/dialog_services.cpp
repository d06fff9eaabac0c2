#include "ui/toolkit/dialog_services.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
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

  SaveChoice AskSaveChanges(wxWindow* parent, const std::wstring& question,
                            const std::wstring& save, const std::wstring& discard,
                            const std::wstring& cancel) override {
    wxMessageDialog dialog(parent, wxString(question), "Kelvane",
                           wxYES_NO | wxCANCEL | wxICON_QUESTION);
    dialog.SetYesNoCancelLabels(wxString(save), wxString(discard), wxString(cancel));
    switch (dialog.ShowModal()) {
      case wxID_YES: return SaveChoice::kSave;
      case wxID_NO: return SaveChoice::kDiscard;
      default: return SaveChoice::kCancel;
    }
  }

  std::optional<std::wstring> ChooseFolder(wxWindow* parent, const std::wstring& start,
                                           const std::wstring& title) override {
    // Without "must exist", so GTK's dialog can make a new target folder.
    wxDirDialog dialog(parent, wxString(title), wxString(start), wxDD_DEFAULT_STYLE);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return dialog.GetPath().ToStdWstring();
  }

  std::optional<std::wstring> ChooseFile(wxWindow* parent, FileMode mode,
                                         const std::wstring& wildcard, const std::wstring& start,
                                         const std::wstring& title) override {
    const wxFileName at{wxString(start)};
    const long style = mode == FileMode::kOpen ? wxFD_OPEN | wxFD_FILE_MUST_EXIST
                                               : wxFD_SAVE | wxFD_OVERWRITE_PROMPT;
    wxFileDialog dialog(parent, wxString(title), at.GetPath(), at.GetFullName(), wxString(wildcard),
                        style);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    return dialog.GetPath().ToStdWstring();
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
