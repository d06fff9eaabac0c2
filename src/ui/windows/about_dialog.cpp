#include "ui/windows/about_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "language/language_table.h"
#include "ui/toolkit/svg_icons.h"
#include "util/template_format.h"

namespace kelvane::ui {

CAboutDlg::CAboutDlg(wxWindow* parent, const LanguageTable& texts)
    : wxDialog(parent, wxID_ANY, wxString()) {
  // The menu entry's text without its "...": "About Kelvane".
  std::wstring title = PrintFEx(texts.GetText(L"ui_prg_about"), {L"Kelvane"});
  while (!title.empty() && title.back() == L'.') title.pop_back();
  SetTitle(wxString(title));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  const wxBitmap icon = LoadSvgIcon(kProgramIcon, FromDIP(64));
  if (icon.IsOk()) row->Add(new wxStaticBitmap(this, wxID_ANY, icon), 0, wxALL, FromDIP(12));
  row->Add(new wxStaticText(this, wxID_ANY, "Kelvane, Version " KELVANE_VERSION), 0,
           wxALIGN_CENTER_VERTICAL | wxALL, FromDIP(12));
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(row);
  column->Add(new wxButton(this, wxID_OK, wxString(texts.GetText(L"ui_ok"))), 0,
              wxALIGN_RIGHT | wxALL, FromDIP(8));
  SetSizerAndFit(column);
  CentreOnParent();
}

}  // namespace kelvane::ui
