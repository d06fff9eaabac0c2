// The editor's notices: how the job tells the user of its runs (on the
// program page, with a test on every channel and how the last run went),
// and the user's mail server, which is the profile's, for all jobs.
#include <wx/busyinfo.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "job/job_edits.h"
#include "language/language_table.h"
#include "notify/last_run.h"
#include "notify/notify_settings.h"
#include "notify/run_notices.h"
#include "platform/clock.h"
#include "profile/profile_store.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/windows/kelvane_document.h"
#include "util/template_format.h"

namespace kelvane::ui {
namespace {

const wchar_t* const kSecurities[] = {L"starttls", L"tls", L"none"};

// Addresses as the user types them: separated by commas, blanks or
// semicolons.
std::vector<std::wstring> Addresses(const wxString& text) {
  std::vector<std::wstring> addresses;
  std::wstring current;
  for (const wchar_t c : text.ToStdWstring() + L",") {
    if (c == L',' || c == L';' || c == L' ' || c == L'\n' || c == L'\t') {
      if (!current.empty()) addresses.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  return addresses;
}

}  // namespace

void CKelvaneDocument::BuildNoticeGroups() {
  wxWindow* page = pages_->Page(kProgramPage);
  pages_->AddGroup(kProgramPage, Text(L"ui_notice_group"));
  const wxString when[] = {Text(L"ui_notify_never"), Text(L"ui_notify_trouble"),
                           Text(L"ui_notify_always")};
  notifyDesktopField_ =
      new wxChoice(page, kNotifyDesktopField, wxDefaultPosition, wxDefaultSize, 3, when);
  pages_->AddRow(kProgramPage, Text(L"ui_notify_desktop"), notifyDesktopField_);
  notifyMailField_ = new wxTextCtrl(page, kNotifyMailField);
  pages_->AddRow(kProgramPage, Text(L"ui_notify_mail"), notifyMailField_);
  notifyWebhookField_ = new wxTextCtrl(page, kNotifyWebhookField);
  pages_->AddRow(kProgramPage, Text(L"ui_notify_webhook"), notifyWebhookField_);
  notifyOnField_ =
      new wxChoice(page, kNotifyOnField, wxDefaultPosition, wxDefaultSize, 2, when + 1);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(notifyOnField_, 1, wxALIGN_CENTER_VERTICAL);
  row->Add(new wxButton(page, kNoticeTest, Text(L"ui_notice_test")), 0, wxLEFT, FromDIP(4));
  pages_->AddRow(kProgramPage, Text(L"ui_notify_on"), row, notifyOnField_);
  lastBackupLine_ = new wxStaticText(page, kLastBackupLine, wxString());
  pages_->AddWide(kProgramPage, lastBackupLine_);
  AddHint(kProgramPage, L"ui_notice_hint", {notifyMailField_, notifyWebhookField_});
  for (wxWindow* field : std::initializer_list<wxWindow*>{notifyDesktopField_, notifyMailField_,
                                                          notifyWebhookField_, notifyOnField_}) {
    field->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { TakeNoticeFields(); });
    field->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { TakeNoticeFields(); });
  }
  BindCommand(kNoticeTest, [this] { TestNotices(); });

  // The user's mail server: written to the profile as it is typed.
  pages_->AddGroup(kProgramPage, Text(L"ui_mail_group"));
  const MailServer server = ReadMailServer(profile_);
  const std::pair<int, const wchar_t*> texts[] = {{kMailServerField, L"ui_mail_server"},
                                                  {kMailUserField, L"ui_mail_user"},
                                                  {kMailPasswordField, L"ui_mail_password"},
                                                  {kMailFromField, L"ui_mail_from"}};
  const std::wstring values[] = {server.server, server.user, server.password, server.from};
  for (size_t i = 0; i < std::size(texts); ++i) {
    mailFields_.push_back(new wxTextCtrl(page, texts[i].first, wxString(values[i]),
                                         wxDefaultPosition, wxDefaultSize,
                                         texts[i].first == kMailPasswordField ? wxTE_PASSWORD : 0));
    pages_->AddRow(kProgramPage, Text(texts[i].second), mailFields_.back());
    mailFields_.back()->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { SaveMailServer(); });
    if (i == 0) {
      mailPortField_ =
          new wxSpinCtrl(page, kMailPortField, wxString(), wxDefaultPosition, wxDefaultSize,
                         wxSP_ARROW_KEYS, 0, 65535, static_cast<int>(server.port));
      pages_->AddRow(kProgramPage, Text(L"ui_mail_port"), mailPortField_);
      const wxString securities[] = {Text(L"ui_mail_starttls"), Text(L"ui_mail_tls"),
                                     Text(L"ui_mail_none")};
      mailSecurityField_ =
          new wxChoice(page, kMailSecurityField, wxDefaultPosition, wxDefaultSize, 3, securities);
      int chosen = 0;
      while (chosen < 2 && server.security != kSecurities[chosen]) ++chosen;
      mailSecurityField_->SetSelection(chosen);
      pages_->AddRow(kProgramPage, Text(L"ui_mail_security"), mailSecurityField_);
      mailPortField_->Bind(wxEVT_SPINCTRL, [this](wxSpinEvent&) { SaveMailServer(); });
      mailSecurityField_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { SaveMailServer(); });
    }
  }
}

void CKelvaneDocument::FillNoticeFields() {
  notifyDesktopField_->SetSelection(static_cast<int>(std::min<uint32_t>(job_.NotifyDesktop, 2)));
  std::wstring addresses;
  for (const std::wstring& address : job_.NotifyMail) {
    addresses += (addresses.empty() ? L"" : L", ") + address;
  }
  notifyMailField_->ChangeValue(wxString(addresses));
  notifyWebhookField_->ChangeValue(wxString(job_.NotifyWebhook));
  notifyOnField_->SetSelection(job_.NotifyOn >= 1 ? 1 : 0);
  lastBackupLine_->SetLabel(
      path_.empty() ? wxString()
                    : wxString(LastBackupLine(job_, texts_, platform::Time().WallSeconds())));
}

void CKelvaneDocument::TakeNoticeFields() {
  if (filling_) return;
  job_.NotifyDesktop = static_cast<uint32_t>(std::max(0, notifyDesktopField_->GetSelection()));
  job_.NotifyMail = Addresses(notifyMailField_->GetValue());
  job_.NotifyWebhook = notifyWebhookField_->GetValue().Trim().Trim(false).ToStdWstring();
  job_.NotifyOn = static_cast<uint32_t>(std::max(0, notifyOnField_->GetSelection()));
  Changed();
}

void CKelvaneDocument::SaveMailServer() {
  MailServer server;
  server.server = mailFields_[0]->GetValue().ToStdWstring();
  server.user = mailFields_[1]->GetValue().ToStdWstring();
  server.password = mailFields_[2]->GetValue().ToStdWstring();
  server.from = mailFields_[3]->GetValue().ToStdWstring();
  server.port = static_cast<uint32_t>(mailPortField_->GetValue());
  server.security = kSecurities[std::max(0, mailSecurityField_->GetSelection())];
  (void)WriteMailServer(profile_, server);
}

void CKelvaneDocument::TestNotices() {
  std::vector<NoticeResult> results;
  {
    wxBusyCursor busy;
    results = RunNotices(job_, JobName(path_, job_), profile_, texts_).Test(path_);
  }
  std::wstring said = results.empty() ? texts_.GetText(L"console_notice_none") : L"";
  for (const NoticeResult& result : results) {
    said +=
        (said.empty() ? L"" : L"\n") +
        (result.error.empty()
             ? PrintFEx(texts_.GetText(L"console_notice_sent"), {result.channel})
             : PrintFEx(texts_.GetText(L"console_notice_failed"), {result.channel, result.error}));
  }
  Dialogs().ShowMessage(this, said, false);
}

}  // namespace kelvane::ui
