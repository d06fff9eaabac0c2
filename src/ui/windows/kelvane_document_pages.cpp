// The editor's pages and the layout that holds them.
#include <wx/artprov.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "language/language_table.h"
#include "profile/profile_store.h"
#include "retention/keep_policy.h"
#include "ui/layout/mnemonics.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/html_static.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/label_text.h"
#include "ui/toolkit/svg_icons.h"
#include "ui/windows/kelvane_document.h"
#include "ui/windows/list_field.h"
#include "util/template_format.h"

namespace kelvane::ui {

using DARo3::kFixedHeight;
using DARo3::kFixedWidth;
using DARo3::kHorizontalGroup;
using DARo3::kVerticalGroup;

wxString CKelvaneDocument::Text(const wchar_t* key) const { return wxString(texts_.GetText(key)); }

wxCheckBox* CKelvaneDocument::AddCheckBox(int pageId, int id, const wchar_t* labelKey,
                                          bool BackupJob::*field) {
  auto* box = new wxCheckBox(pages_->Page(pageId), id, Text(labelKey));
  pages_->AddWide(pageId, box);
  if (field) {
    boxes_.push_back(BoundBox{box, field});
    box->Bind(wxEVT_CHECKBOX, [this, box, field](wxCommandEvent&) {
      job_.*field = box->GetValue();
      Changed();
    });
  }
  return box;
}

wxTextCtrl* CKelvaneDocument::AddListField(int pageId, int id, std::wstring BackupJob::*field) {
  auto* text = new wxTextCtrl(pages_->Page(pageId), id, wxString(), wxDefaultPosition,
                              wxSize(-1, FromDIP(72)), wxTE_MULTILINE | wxTE_DONTWRAP);
  text->Bind(wxEVT_TEXT, [this, text, field](wxCommandEvent&) {
    if (filling_) return;
    job_.*field = FromField(text->GetValue());
    Changed();
  });
  return text;
}

wxButton* CKelvaneDocument::AddBrowseButton(wxWindow* page, int id, const wchar_t* nameKey) {
  auto* button = new wxButton(page, id, wxString::FromUTF8("\xE2\x80\xA6"), wxDefaultPosition,
                              wxDefaultSize, wxBU_EXACTFIT);
  button->SetToolTip(Text(nameKey));
  SetAccessibleName(button, Text(nameKey));
  return button;
}

CHTMLStatic* CKelvaneDocument::AddHint(int pageId, const wchar_t* key,
                                       std::initializer_list<wxWindow*> about) {
  auto* hint =
      new CHTMLStatic(pages_->Page(pageId), wxID_ANY, L"<i>" + texts_.GetText(key) + L"</i>");
  pages_->AddWide(pageId, hint);
  for (wxWindow* control : about) SetAccessibleDescription(control, Text(key));
  return hint;
}

void CKelvaneDocument::BuildPreferencesPage() {
  wxWindow* page = pages_->AddPage(kPreferencesPage);
  pages_->AddGroup(kPreferencesPage, Text(L"ui_archive"));

  wxString types[] = {Text(L"ui_archive_type_folder"), Text(L"ui_archive_type_zip"),
                      Text(L"ui_archive_type_7zip")};
  typeField_ = new wxChoice(page, kTypeField, wxDefaultPosition, wxDefaultSize, 3, types);
  pages_->AddRow(kPreferencesPage, Text(L"ui_archive_type"), typeField_);

  auto* folderRow = new wxBoxSizer(wxHORIZONTAL);
  archiveFolderField_ = new wxTextCtrl(page, kArchiveFolderField, wxString(), wxDefaultPosition,
                                       wxDefaultSize, wxTE_READONLY);
  folderRow->Add(archiveFolderField_, 1, wxALIGN_CENTER_VERTICAL);
  folderRow->Add(AddBrowseButton(page, kArchiveFolderBrowse, L"ui_choose_archive_folder"), 0,
                 wxLEFT, FromDIP(4));
  pages_->AddRow(kPreferencesPage, Text(L"ui_archive_folder"), folderRow, archiveFolderField_);

  auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
  nameField_ = new wxTextCtrl(page, kArchiveNameField);
  nameRow->Add(nameField_, 1, wxALIGN_CENTER_VERTICAL);
  nameRow->Add(new CLabelText(page, Text(L"ui_archive_name_info")), 0,
               wxALIGN_CENTER_VERTICAL | wxLEFT, FromDIP(6));
  SetAccessibleDescription(nameField_, Text(L"ui_archive_name_info"));
  pages_->AddRow(kPreferencesPage, Text(L"ui_archive_name"), nameRow, nameField_);

  wxString levels[9];
  for (int i = 0; i < 9; ++i) levels[i] = wxString::Format("%d", i + 1);
  levelField_ = new wxChoice(page, kLevelField, wxDefaultPosition, wxDefaultSize, 9, levels);
  pages_->AddRow(kPreferencesPage, Text(L"ui_archive_complevel"), levelField_);

  auto* passwordRow = new wxBoxSizer(wxHORIZONTAL);
  passwordField_ = new wxTextCtrl(page, kPasswordField, wxString(), wxDefaultPosition,
                                  wxDefaultSize, wxTE_PASSWORD);
  passwordShownField_ = new wxTextCtrl(page, kPasswordShown);
  passwordShownField_->Hide();
  const wxBitmapBundle eye = wxArtProvider::GetBitmapBundle("view-reveal-symbolic", wxART_BUTTON);
  if (eye.IsOk()) {
    passwordToggle_ = new wxBitmapToggleButton(page, kPasswordToggle, eye);
  } else {
    passwordToggle_ = new wxToggleButton(page, kPasswordToggle, "abc", wxDefaultPosition,
                                         wxDefaultSize, wxBU_EXACTFIT);
  }
  passwordToggle_->SetToolTip(Text(L"ui_password_show"));
  SetAccessibleName(passwordToggle_, Text(L"ui_password_show"));
  passwordRow->Add(passwordField_, 1, wxALIGN_CENTER_VERTICAL);
  passwordRow->Add(passwordShownField_, 1, wxALIGN_CENTER_VERTICAL);
  passwordRow->Add(passwordToggle_, 0, wxLEFT, FromDIP(4));
  pages_->AddRow(kPreferencesPage, Text(L"ui_archive_password"), passwordRow, passwordField_);
  SetAccessibleName(passwordShownField_, Text(L"ui_archive_password"));
  // A password typed where nobody sees it is typed twice.
  repeatField_ = new wxTextCtrl(page, kPasswordRepeat, wxString(), wxDefaultPosition, wxDefaultSize,
                                wxTE_PASSWORD);
  repeatLabel_ =
      pages_->AddRow(kPreferencesPage, Text(L"ui_archive_password_repeat"), repeatField_);
  passwordHint_ =
      AddHint(kPreferencesPage, L"ui_archive_password_folder_hint", {passwordField_, repeatField_});

  AddCheckBox(kPreferencesPage, kAddDateBox, L"ui_archive_name_add_date", &BackupJob::AddDate);
  // Options a run always acts as if on show ticked, whatever the job holds
  // (which stays as it was stored).
  wxCheckBox* overwrite = AddCheckBox(kPreferencesPage, kOverwriteBox, L"ui_archive_overwrite");
  overwrite->SetValue(true);
  overwrite->Disable();
  AddHint(kPreferencesPage, L"ui_archive_overwrite_hint", {overwrite});
  AddKeepFields();

  pages_->AddGroup(kPreferencesPage, Text(L"ui_logfile"));
  AddCheckBox(kPreferencesPage, kLogFolderBox, L"ui_enable_logging_folder", &BackupJob::LogFolder);
  AddCheckBox(kPreferencesPage, kLogFilesBox, L"ui_enable_logging_files", &BackupJob::LogFiles);
  AddCheckBox(kPreferencesPage, kLogBlackListBox, L"ui_enable_logging_blacklist",
              &BackupJob::LogBlackList);
  wxCheckBox* errors = AddCheckBox(kPreferencesPage, kLogErrorsBox, L"ui_enable_logging_errors");
  wxCheckBox* remove =
      AddCheckBox(kPreferencesPage, kLogRemoveBox, L"ui_remove_log_if_no_error_occurred");
  for (wxCheckBox* box : {errors, remove}) {
    box->SetValue(true);
    box->Disable();
  }
  AddHint(kPreferencesPage, L"ui_log_options_hint", {errors, remove});
}

void CKelvaneDocument::AddKeepFields() {
  wxWindow* page = pages_->Page(kPreferencesPage);
  pages_->AddGroup(kPreferencesPage, Text(L"ui_keep_group"));
  const struct {
    int id;
    const wchar_t* labelKey;
    uint32_t BackupJob::*member;
  } kFields[] = {{kKeepLastField, L"ui_keep_last", &BackupJob::KeepLast},
                 {kKeepDaysField, L"ui_keep_days", &BackupJob::KeepDays},
                 {kKeepWeeksField, L"ui_keep_weeks", &BackupJob::KeepWeeks},
                 {kKeepMonthsField, L"ui_keep_months", &BackupJob::KeepMonths},
                 {kFullEveryField, L"ui_full_every", &BackupJob::FullEvery}};
  for (const auto& row : kFields) {
    auto* field = new wxSpinCtrl(page, row.id, wxString(), wxDefaultPosition, wxDefaultSize,
                                 wxSP_ARROW_KEYS, 0, 9999, 0);
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    line->Add(field, 0, wxALIGN_CENTER_VERTICAL);
    pages_->AddRow(kPreferencesPage, Text(row.labelKey), line, field);
    numbers_.push_back(BoundNumber{field, row.member});
    auto take = [this, member = row.member](int value) {
      if (filling_ || job_.*member == static_cast<uint32_t>(value)) return;
      job_.*member = static_cast<uint32_t>(value);
      SayKeepPolicy();
      Changed();
    };
    field->Bind(wxEVT_SPINCTRL, [take](wxSpinEvent& event) { take(event.GetPosition()); });
    field->Bind(wxEVT_TEXT, [take, field](wxCommandEvent&) { take(field->GetValue()); });
  }
  keepPolicyLine_ = new CHTMLStatic(page, kKeepPolicyLine, L"");
  pages_->AddWide(kPreferencesPage, keepPolicyLine_);
  AddHint(kPreferencesPage, L"ui_keep_hint", {});
}

void CKelvaneDocument::SayKeepPolicy() {
  const std::wstring sentence = DescribeRetention(job_, texts_);
  if (keepPolicyLine_->GetLabel() == wxString(sentence)) return;
  keepPolicyLine_->SetMarkup(sentence);
  for (const BoundNumber& number : numbers_) {
    SetAccessibleDescription(number.field, wxString(sentence));
  }
  keepPolicyLine_->GetParent()->Layout();
}

void CKelvaneDocument::BuildFolderPage() {
  wxWindow* page = pages_->AddPage(kFolderPage);
  pages_->AddGroup(kFolderPage, Text(L"ui_folderlist_label"));
  auto* bar = new wxBoxSizer(wxHORIZONTAL);
  bar->Add(new wxButton(page, kFolderAdd, Text(L"ui_foldercmd_add")));
  bar->Add(new wxButton(page, kFolderRemove, Text(L"ui_foldercmd_remove")), 0, wxLEFT, FromDIP(4));
  pages_->AddWide(kFolderPage, bar);
  folderList_ = new CVxNewListControl(page, kFolderList, Text(L"ui_foldercolumn_path"));
  folderList_->SetMinSize(wxSize(-1, FromDIP(200)));
  SetAccessibleName(folderList_, Text(L"ui_folderlist_label"));
  folderList_->AcceptDroppedFolders(
      [this](const std::wstring& folder) { AddSourceFolder(folder); });
  pages_->AddWide(kFolderPage, folderList_, 1);
}

void CKelvaneDocument::BuildFilterPage() {
  wxWindow* page = pages_->AddPage(kFilterPage);
  pages_->AddGroup(kFilterPage, Text(L"ui_nav_filter"));
  AddCheckBox(kFilterPage, kSkipNoExtensionBox, L"ui_filter_skip_file_without_extension",
              &BackupJob::SkipFilesWithoutExtension);
  wxCheckBox* system = AddCheckBox(kFilterPage, kSystemFilesBox, L"ui_filter_include_system_files",
                                   &BackupJob::IncludeSystemFiles);
  AddCheckBox(kFilterPage, kHiddenFilesBox, L"ui_filter_include_hidden_files",
              &BackupJob::IncludeHiddenFiles);
  system->Disable();
  AddHint(kFilterPage, L"ui_filter_system_files_hint", {system});
  AddCheckBox(kFilterPage, kLinksBox, L"ui_filter_include_links", &BackupJob::IncludeLinks);
  pages_->AddGap(kFilterPage, 6);
  AddCheckBox(kFilterPage, kArchiveBitGetBox, L"ui_filter_archivebit_get",
              &BackupJob::ArchiveBitGet);
  AddCheckBox(kFilterPage, kArchiveBitSetBox, L"ui_filter_archivebit_set",
              &BackupJob::ArchiveBitSet);
  pages_->AddWide(kFilterPage, new CHTMLStatic(page, kArchiveBitHint,
                                               texts_.GetText(L"ui_filter_archivebit_hint")));
  pages_->AddWide(kFilterPage,
                  new CHTMLStatic(page, wxID_ANY, texts_.GetText(L"ui_filter_file_info")));
  whiteField_ = AddListField(kFilterPage, kWhiteListField, &BackupJob::WhiteList);
  pages_->AddRow(kFilterPage, Text(L"ui_filter_file_white"), whiteField_);
  blackField_ = AddListField(kFilterPage, kBlackListField, &BackupJob::BlackList);
  pages_->AddRow(kFilterPage, Text(L"ui_filter_file_black"), blackField_);
  pages_->AddWide(kFilterPage,
                  new CHTMLStatic(page, wxID_ANY, texts_.GetText(L"ui_filter_folder_info")));
  excludeField_ = AddListField(kFilterPage, kExcludeField, &BackupJob::ExcludeFolders);
  pages_->AddWide(kFilterPage, excludeField_);
  SetAccessibleName(excludeField_, Text(L"ui_filter_folder_field"));
  auto* bar = new wxBoxSizer(wxHORIZONTAL);
  bar->Add(new wxButton(page, kExcludeAdd, Text(L"ui_filter_folder_button")));
  pages_->AddWide(kFilterPage, bar);
}

void CKelvaneDocument::BuildPreviewPage() {
  wxWindow* page = pages_->AddPage(kPreviewPage);
  pages_->AddGroup(kPreviewPage, Text(L"ui_nav_preview"));
  preview_ = new CJobPreviewPanel(page, texts_);
  pages_->AddWide(kPreviewPage, preview_, 1);
}

void CKelvaneDocument::BuildSecurityPage() {
  pages_->AddPage(kSecurityPage);
  pages_->AddGroup(kSecurityPage, Text(L"ui_nav_security"));
  AddCheckBox(kSecurityPage, kTestFilesBox, L"ui_security_test_files", &BackupJob::TestFiles);
  BuildStorageGroup();
}

void CKelvaneDocument::BuildProgramPage() {
  wxWindow* page = pages_->AddPage(kProgramPage);
  pages_->AddGroup(kProgramPage, Text(L"ui_nav_program"));
  recentBox_ = AddCheckBox(kProgramPage, kRecentFileBox, L"ui_program_recent_file");
  recentBox_->SetValue(profile_.GetInt("Main", "LoadRecentFile", 0) != 0);
  recentBox_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    // A preference of the program, not of the job: written at once, and
    // the job does not count as changed.
    profile_.WriteInt("Main", "LoadRecentFile", recentBox_->GetValue() ? 1 : 0);
    if (path_.empty()) profile_.WriteString("Main", "RecentFile", L"");
  });
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  sevenZipField_ = new wxTextCtrl(page, kSevenZipField, wxString(sevenZipPath_), wxDefaultPosition,
                                  wxDefaultSize, wxTE_READONLY);
  row->Add(sevenZipField_, 1, wxALIGN_CENTER_VERTICAL);
  row->Add(AddBrowseButton(page, kSevenZipBrowse, L"ui_choose_7zip_library"), 0, wxLEFT,
           FromDIP(4));
  pages_->AddRow(kProgramPage, Text(L"ui_program_7zip_path"), row, sevenZipField_);
  BuildNoticeGroups();
}

void CKelvaneDocument::BuildLayout() {
  BeginGroup(kVerticalGroup);
  BeginGroup(kHorizontalGroup, 8);
  AddControl(nav_, kFixedWidth, ui::Size{130, 300});
  AddControl(pages_, 0, ui::Size{520, 420});
  EndGroup();
  AddSeparator();
  BeginGroup(kHorizontalGroup, 6);
  const int widths[] = {100, 100, 100, 120, 100, 110};
  for (size_t i = 0; i < buttons_.size(); ++i) {
    AddControl(buttons_[i], kFixedWidth | kFixedHeight, ui::Size{widths[i], 32});
  }
  AddSpacer();
  EndGroup();
  EndGroup();
}

}  // namespace kelvane::ui
