#include "ui/windows/location_dialog.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "language/language_table.h"
#include "storage/rclone_location.h"
#include "storage/storage_location.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/dialog_services.h"

namespace kelvane::ui {

std::optional<std::wstring> AskStorageLocation(wxWindow* parent, const LanguageTable& texts,
                                               const std::wstring& current) {
  const wxString title(texts.GetText(L"ui_location_title"));
  wxDialog dialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
                  wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
  auto* column = new wxBoxSizer(wxVERTICAL);
  auto* prompt =
      new wxStaticText(&dialog, wxID_ANY, wxString(texts.GetText(L"ui_location_prompt")));
  prompt->Wrap(dialog.FromDIP(420));
  column->Add(prompt, 0, wxALL, dialog.FromDIP(10));
  wxArrayString remotes;
  for (const std::wstring& remote : RcloneRemotes()) remotes.Add(wxString(remote));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* field = new wxComboBox(&dialog, wxID_ANY, wxString(current), wxDefaultPosition,
                               wxSize(dialog.FromDIP(320), -1), remotes);
  SetAccessibleName(field, title);
  SetAccessibleDescription(field, wxString(texts.GetText(L"ui_location_prompt")));
  auto* browse = new wxButton(&dialog, wxID_ANY, wxString(texts.GetText(L"ui_location_browse")));
  row->Add(field, 1, wxALIGN_CENTER_VERTICAL);
  row->Add(browse, 0, wxLEFT, dialog.FromDIP(4));
  column->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, dialog.FromDIP(10));
  column->Add(dialog.CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL,
              dialog.FromDIP(10));
  dialog.SetSizerAndFit(column);
  browse->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    const std::wstring start = field->GetValue().ToStdWstring();
    if (const auto chosen = Dialogs().ChooseFolder(&dialog, start.starts_with(L"/") ? start : L"",
                                                   texts.GetText(L"ui_location_title"))) {
      field->SetValue(wxString(*chosen));
    }
  });
  // Only what a run can use: an absolute folder or a remote.
  auto usable = [field] {
    const std::wstring text = field->GetValue().ToStdWstring();
    return text.starts_with(L"/") || IsRemoteLocation(text);
  };
  wxWindow* ok = dialog.FindWindow(wxID_OK);
  ok->Enable(usable());
  field->Bind(wxEVT_TEXT, [&](wxCommandEvent&) { ok->Enable(usable()); });
  field->Bind(wxEVT_COMBOBOX, [&](wxCommandEvent&) { ok->Enable(usable()); });
  field->SetFocus();
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  return field->GetValue().ToStdWstring();
}

}  // namespace kelvane::ui
