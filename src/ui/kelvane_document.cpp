#include "ui/kelvane_document.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "archive/sevenzip/seven_zip_module.h"
#include "job/job_edits.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "profile/profile_store.h"
#include "ui/about_dialog.h"
#include "ui/accessible.h"
#include "ui/compress_dialog.h"
#include "ui/dialog_services.h"
#include "ui/file_dialog.h"
#include "ui/folder_picker.h"
#include "ui/html_static.h"
#include "ui/image_button.h"
#include "ui/label_text.h"
#include "ui/mnemonics.h"
#include "ui/svg_icons.h"
#include "util/template_format.h"

namespace kelvane::ui {

using DARo3::kFixedHeight;
using DARo3::kFixedWidth;
using DARo3::kHorizontalGroup;
using DARo3::kVerticalGroup;

namespace {

constexpr wchar_t kJobFilter[] = L"Backup|*.kvnjob||";
constexpr wchar_t kLibraryFilter[] = L"7z.so|7z.so||";

// Lists are one entry per CR LF line in the job, one per line in the field.
wxString ToField(const std::wstring& lines) {
  std::wstring text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == L'\r' && i + 1 < lines.size() && lines[i + 1] == L'\n') continue;
    text.push_back(lines[i]);
  }
  return wxString(text);
}

std::wstring FromField(const wxString& field) {
  std::wstring lines;
  for (const wchar_t c : field.ToStdWstring()) {
    if (c == L'\n') lines += L'\r';
    lines.push_back(c);
  }
  return lines;
}

}  // namespace

CKelvaneDocument::CKelvaneDocument(wxWindow* parent, const LanguageTable& texts,
                                   ProfileStore& profile, const std::wstring& jobPath,
                                   const JsonDocument* loaded)
    : DialogLayout(parent, "Kelvane", "KelvanePrefs", &profile),
      texts_(texts),
      profile_(profile),
      path_(jobPath),
      sevenZipPath_(profile.GetString("Main", "SevenZip", L"")),
      nav_(new CVxNavListCtrl(this, kNavList)),
      pages_(new CVxPropertyList(this, kPropertyList)) {
  SetIcons(ProgramIcons());
  SetGrowth(20, 30);
  nav_->AddEntry(kPreferencesPage, Text(L"ui_nav_prefs"));
  nav_->AddEntry(kFolderPage, Text(L"ui_nav_folder"));
  nav_->AddEntry(kFilterPage, Text(L"ui_nav_filter"));
  nav_->AddEntry(kPreviewPage, Text(L"ui_nav_preview"));
  nav_->AddEntry(kSecurityPage, Text(L"ui_nav_security"));
  nav_->AddEntry(kProgramPage, Text(L"ui_nav_program"));
  nav_->onChoose = [this](int page) { ShowPage(page); };
  BuildPreferencesPage();
  BuildFolderPage();
  BuildFilterPage();
  BuildPreviewPage();
  BuildSecurityPage();
  BuildProgramPage();
  pages_->RelateLabels();
  SetAccessibleName(nav_, Text(L"ui_nav_pages"));
  const struct {
    int id;
    const wchar_t* key;
    const wchar_t* tip;
    int icon;
  } kButtons[] = {{kNewButton, L"ui_menu_new", L"ui_tip_new", kIconNew},
                  {kLoadButton, L"ui_menu_load", L"ui_tip_load", kIconLoad},
                  {kSaveButton, L"ui_menu_save", L"ui_tip_save", kIconSave},
                  {kSaveAsButton, L"ui_menu_saveas", L"ui_tip_saveas", kIconSaveAs},
                  {kStartButton, L"ui_menu_start", L"ui_tip_start", kIconStart}};
  std::vector<std::wstring> labels;
  for (const auto& button : kButtons) labels.push_back(texts_.GetText(button.key));
  labels = WithMnemonics(labels);
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    wxButton* button = MakeImageButton(this, kButtons[i].id, wxString(labels[i]), kButtons[i].icon);
    button->SetToolTip(Text(kButtons[i].tip));
    buttons_.push_back(button);
  }
  BuildLayout();
  BindCommands();

  if (loaded && !loaded->empty()) {
    TakeLoadedJob(*loaded);
  } else {
    path_.clear();
    job_.SetDefaults();
    FillFields();
  }
  SetTitleFromPath();
  ShowPage(kPreferencesPage);
  UpdateStates();
}

CKelvaneDocument::~CKelvaneDocument() = default;

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
  // Reading the backup back works; more storage places are a promise of
  // what comes and cannot be used yet.
  wxWindow* page = pages_->AddPage(kSecurityPage);
  pages_->AddGroup(kSecurityPage, Text(L"ui_nav_security"));
  AddCheckBox(kSecurityPage, kTestFilesBox, L"ui_security_test_files", &BackupJob::TestFiles);
  pages_->AddGroup(kSecurityPage, Text(L"ui_security_more_storage_locations"));
  auto* bar = new wxBoxSizer(wxHORIZONTAL);
  for (const auto& [id, key] : {std::pair{kStorageAdd, L"ui_foldercmd_add"},
                                {kStorageEdit, L"ui_foldercmd_edit"},
                                {kStorageRemove, L"ui_foldercmd_remove"}}) {
    auto* button = new wxButton(page, id, Text(key));
    button->Disable();
    bar->Add(button, 0, wxRIGHT, FromDIP(4));
  }
  pages_->AddWide(kSecurityPage, bar);
  auto* storage = new CVxNewListControl(page, kStorageList, Text(L"ui_foldercolumn_path"));
  storage->SetMinSize(wxSize(-1, FromDIP(120)));
  SetAccessibleName(storage, Text(L"ui_security_more_storage_locations"));
  storage->Disable();
  pages_->AddWide(kSecurityPage, storage, 1);
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
}

void CKelvaneDocument::BuildLayout() {
  BeginGroup(kVerticalGroup);
  BeginGroup(kHorizontalGroup, 8);
  AddControl(nav_, kFixedWidth, ui::Size{130, 300});
  AddControl(pages_, 0, ui::Size{520, 420});
  EndGroup();
  AddSeparator();
  BeginGroup(kHorizontalGroup, 6);
  const int widths[] = {100, 100, 100, 120, 100};
  for (size_t i = 0; i < buttons_.size(); ++i) {
    AddControl(buttons_[i], kFixedWidth | kFixedHeight, ui::Size{widths[i], 32});
  }
  AddSpacer();
  EndGroup();
  EndGroup();
}

void CKelvaneDocument::BindCommand(int id, std::function<void()> command) {
  // A command runs after the event that asked for it: one that opens a
  // window of its own (a run, a file dialog) must not hold the press of a
  // screen reader, which would hear nothing of the program meanwhile.
  auto later = [this, command](wxCommandEvent&) { CallAfter(command); };
  Bind(wxEVT_BUTTON, later, id);
  Bind(wxEVT_MENU, later, id);
}

void CKelvaneDocument::BindCommands() {
  BindCommand(kNewButton, [this] { NewJob(); });
  BindCommand(kLoadButton, [this] { LoadJob(); });
  BindCommand(kSaveButton, [this] { SaveJob(false); });
  BindCommand(kSaveAsButton, [this] { SaveJob(true); });
  BindCommand(kStartButton, [this] { StartJob(); });
  BindCommand(kCloseCommand, [this] { Close(); });
  BindCommand(kHelpCommand, [this] { ShowHelp(); });
  BindCommand(kAboutCommand, [this] { ShowAbout(); });
  BindCommand(kArchiveFolderBrowse, [this] { ChooseArchiveFolder(); });
  BindCommand(kSevenZipBrowse, [this] { ChooseSevenZipLibrary(); });
  BindCommand(kFolderAdd, [this] {
    scratch_.clear();
    if (BrowseForFolder(scratch_, this, kPurposeInclude, profile_,
                        texts_.GetText(L"ui_choose_include_folder")) == kFolderChosen) {
      AddSourceFolder(scratch_);
    }
  });
  BindCommand(kFolderRemove, [this] { RemoveSelectedFolders(); });
  BindCommand(kExcludeAdd, [this] {
    scratch_.clear();
    if (BrowseForFolder(scratch_, this, kPurposeExclude, profile_,
                        texts_.GetText(L"ui_choose_exclude_folder")) != kFolderChosen)
      return;
    job_.ExcludeFolders = AppendExcludeFolder(job_.ExcludeFolders, scratch_);
    FillFields();
    Changed();
  });
  // The desktop's usual keys. Ctrl+S saves even an unchanged new job, as a
  // first save does.
  const wxAcceleratorEntry keys[] = {
      {wxACCEL_CTRL, 'N', kNewButton},        {wxACCEL_CTRL, 'O', kLoadButton},
      {wxACCEL_CTRL, 'S', kSaveButton},       {wxACCEL_CTRL | wxACCEL_SHIFT, 'S', kSaveAsButton},
      {wxACCEL_CTRL, 'Q', kCloseCommand},     {wxACCEL_CTRL, 'W', kCloseCommand},
      {wxACCEL_NORMAL, WXK_F1, kHelpCommand},
  };
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));
  // Delete removes the selected source folders where they are listed.
  folderList_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE && !event.HasAnyModifiers()) {
      RemoveSelectedFolders();
    } else {
      event.Skip();
    }
  });
  // Help and the about box, in the navigation list's context menu (GTK has
  // no window menu of the program's own to add them to; text fields have
  // their own).
  nav_->Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent&) {
    wxMenu menu;
    menu.Append(kHelpCommand, Text(L"ui_help") + "\tF1");
    menu.Append(kAboutCommand, wxString(PrintFEx(texts_.GetText(L"ui_prg_about"), {L"Kelvane"})));
    PopupMenu(&menu);
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    if (event.CanVeto() && !MayDropChanges()) {
      event.Veto();
      return;
    }
    if (IsModal()) {
      EndModal(wxID_CANCEL);
    } else {
      Hide();
    }
  });
  // Escape is the close box. (wx turns Escape into a Cancel button's press,
  // and the editor has no such button.)
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers()) {
      CallAfter([this] { Close(); });
    } else {
      event.Skip();
    }
  });

  Bind(
      wxEVT_CHOICE,
      [this](wxCommandEvent&) {
        job_.Type = static_cast<uint32_t>(std::max(typeField_->GetSelection(), 0));
        if (job_.Type == kJobTypeSevenZip) {
          const std::wstring problem =
              SevenZip::SevenZipLibraryProblem(SevenZip::FindSevenZipLibrary(sevenZipPath_));
          if (!problem.empty()) {
            Dialogs().ShowMessage(this, texts_.GetText(L"ui_open_7zip_failed") + L"\n\n" + problem,
                                  true);
          }
        }
        Changed();
      },
      kTypeField);
  Bind(
      wxEVT_CHOICE,
      [this](wxCommandEvent&) {
        levelText_ = levelField_->GetStringSelection().ToStdWstring();
        Changed();
      },
      kLevelField);
  nameField_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ArchiveNameTyped(); });
  for (wxTextCtrl* field : {passwordField_, passwordShownField_}) {
    field->Bind(wxEVT_TEXT, [this, field](wxCommandEvent&) {
      if (filling_) return;
      job_.ArchivePassword = field->GetValue().ToStdWstring();
      wxTextCtrl* other = field == passwordField_ ? passwordShownField_ : passwordField_;
      other->ChangeValue(field->GetValue());
      Changed();
    });
  }
  passwordToggle_->Bind(wxEVT_TOGGLEBUTTON,
                        [this](wxCommandEvent&) { ShowPassword(passwordToggle_->GetValue()); });
}

void CKelvaneDocument::ArchiveNameTyped() {
  if (filling_) return;
  const wxString typed = nameField_->GetValue();
  const std::wstring kept = WithoutRefusedNameCharacters(typed.ToStdWstring());
  if (kept.size() != typed.length()) {
    const long at = nameField_->GetInsertionPoint();
    const long removed = static_cast<long>(typed.length() - kept.size());
    nameField_->ChangeValue(wxString(kept));
    nameField_->SetInsertionPoint(std::max(0L, at - removed));
  }
  if (kept == job_.ArchiveName) return;  // a refused character changes nothing
  job_.ArchiveName = kept;
  Changed();
}

void CKelvaneDocument::ShowPassword(bool shown) {
  passwordShown_ = shown;
  passwordToggle_->SetValue(shown);
  passwordField_->Show(!shown);
  passwordShownField_->Show(shown);
  // A password in sight needs no second entry; hidden again, it was seen.
  repeatLabel_->Show(!shown);
  repeatField_->Show(!shown);
  repeatField_->ChangeValue(wxString(job_.ArchivePassword));
  passwordField_->GetParent()->Layout();
}

bool CKelvaneDocument::PasswordsAgree() {
  if (job_.Type == kJobTypeFolder || passwordShown_ ||
      repeatField_->GetValue().ToStdWstring() == job_.ArchivePassword) {
    return true;
  }
  ShowPage(kPreferencesPage);
  Dialogs().ShowMessage(this, texts_.GetText(L"ui_password_mismatch"), true);
  repeatField_->SetFocus();
  return false;
}

void CKelvaneDocument::FillFields() {
  filling_ = true;
  typeField_->SetSelection(job_.Type <= kJobTypeSevenZip ? static_cast<int>(job_.Type)
                                                         : wxNOT_FOUND);
  archiveFolderField_->ChangeValue(wxString(job_.ArchiveFolder));
  nameField_->ChangeValue(wxString(job_.ArchiveName));
  levelField_->SetStringSelection(wxString(levelText_));
  if (levelField_->GetStringSelection() != wxString(levelText_))
    levelField_->SetSelection(wxNOT_FOUND);
  passwordField_->ChangeValue(wxString(job_.ArchivePassword));
  passwordShownField_->ChangeValue(wxString(job_.ArchivePassword));
  repeatField_->ChangeValue(wxString(job_.ArchivePassword));
  for (const BoundBox& bound : boxes_) bound.box->SetValue(job_.*bound.field);
  whiteField_->ChangeValue(ToField(job_.WhiteList));
  blackField_->ChangeValue(ToField(job_.BlackList));
  excludeField_->ChangeValue(ToField(job_.ExcludeFolders));
  folderList_->SetFolders(job_.IncludeFolders);
  filling_ = false;
  preview_->JobChanged(RunnableJob());
}

void CKelvaneDocument::UpdateStates() {
  buttons_[2]->Enable(job_.Modified);
  const bool archive = job_.Type != kJobTypeFolder;
  levelField_->Enable(archive);
  // A folder copy is not encrypted: its password would protect nothing.
  for (wxWindow* control : std::initializer_list<wxWindow*>{passwordField_, passwordShownField_,
                                                            passwordToggle_, repeatField_}) {
    control->Enable(archive);
  }
  if (passwordHint_->IsShown() == archive) {
    passwordHint_->Show(!archive);
    passwordHint_->GetParent()->Layout();
  }
}

void CKelvaneDocument::SetTitleFromPath() { SetTitle(wxString(EditorTitle(path_))); }

void CKelvaneDocument::Changed() {
  if (filling_) return;
  job_.Modified = true;
  UpdateStates();
  preview_->JobChanged(RunnableJob());
}

BackupJob CKelvaneDocument::RunnableJob() const {
  BackupJob run = job_;
  run.ArchiveCompLevel = ParseLevelText(levelText_);
  return run;
}

void CKelvaneDocument::ShowPage(int pageId) {
  pages_->ShowPage(pageId);
  nav_->SelectEntry(pageId);
  if (pageId == kPreviewPage) preview_->Activate();
}

void CKelvaneDocument::TakeLoadedJob(const JsonDocument& document) {
  ShowPassword(false);
  job_ = BackupJob();
  job_.ReadJob(document);
  levelText_ = LevelText(job_);
  job_.Modified = false;
  FillFields();
}

void CKelvaneDocument::AddSourceFolder(const std::wstring& folder) {
  if (!AddIncludeFolder(job_, folder)) return;
  folderList_->SetFolders(job_.IncludeFolders);
  Changed();
}

void CKelvaneDocument::ChooseArchiveFolder() {
  scratch_ = job_.ArchiveFolder;
  if (BrowseForFolder(scratch_, this, kPurposeStorage, profile_,
                      texts_.GetText(L"ui_choose_archive_folder")) != kFolderChosen)
    return;
  job_.ArchiveFolder = scratch_;
  archiveFolderField_->ChangeValue(wxString(job_.ArchiveFolder));
  Changed();
}

void CKelvaneDocument::ChooseSevenZipLibrary() {
  FileDialog dialog(FileDialog::kOpen, kLibraryFilter, texts_.GetText(L"ui_choose_7zip_library"));
  if (dialog.Show(this, sevenZipPath_) != FileDialog::kOk) return;
  const std::wstring problem = SevenZip::SevenZipLibraryProblem(dialog.path());
  if (!problem.empty()) {
    Dialogs().ShowMessage(this, texts_.GetText(L"ui_open_7zip_failed") + L"\n\n" + problem, true);
    return;
  }
  sevenZipPath_ = dialog.path();
  sevenZipField_->ChangeValue(wxString(sevenZipPath_));
  profile_.WriteString("Main", "SevenZip", sevenZipPath_);
}

bool CKelvaneDocument::MayDropChanges() {
  if (!job_.Modified) return true;
  switch (Dialogs().AskSaveChanges(this, texts_.GetText(L"ui_save_changes"),
                                   texts_.GetText(L"ui_save"), texts_.GetText(L"ui_discard"),
                                   texts_.GetText(L"ui_cancel"))) {
    case DialogServices::SaveChoice::kSave: return SaveJob(false);
    case DialogServices::SaveChoice::kDiscard: return true;
    case DialogServices::SaveChoice::kCancel: return false;
  }
  return false;
}

void CKelvaneDocument::NewJob() {
  if (!MayDropChanges()) return;
  job_.SetDefaults();
  job_.Modified = false;
  path_.clear();
  levelText_ = L"9";
  ShowPassword(false);
  FillFields();
  SetTitleFromPath();
  UpdateStates();
}

bool CKelvaneDocument::LoadJob() {
  if (!MayDropChanges()) return false;
  FileDialog dialog(FileDialog::kOpen, kJobFilter, texts_.GetText(L"ui_open_job"));
  if (dialog.Show(this, path_) != FileDialog::kOk) return false;
  const std::wstring path = dialog.path();
  profile_.WriteString("Main", "RecentFile", path);
  JsonDocument document;
  if (const uint32_t error = document.LoadFile(path); error != 0) {
    // The job in the editor stays as it was, and so does its file name.
    Dialogs().ShowMessage(this, LoadFailureText(document, error, path, texts_), true);
    return false;
  }
  BackupJob read;
  if (!read.ReadJob(document)) {
    Dialogs().ShowMessage(this, texts_.GetText(L"load_backup_failed"), true);
    return false;
  }
  path_ = path;
  TakeLoadedJob(document);
  SetTitleFromPath();
  UpdateStates();
  return true;
}

bool CKelvaneDocument::SaveJob(bool saveAs) {
  if (!PasswordsAgree()) return false;
  if (!saveAs && !path_.empty()) {
    if (SaveJobTo(path_)) return true;
    Dialogs().ShowMessage(this, texts_.GetText(L"save_backup_failed"), true);
    return false;
  }
  FileDialog dialog(FileDialog::kSave, kJobFilter, texts_.GetText(L"ui_save_job_as"));
  // A cancelled dialog is the user's choice, not a failure.
  if (dialog.Show(this, path_) != FileDialog::kOk) return false;
  profile_.WriteString("Main", "RecentFile", dialog.path());
  if (SaveJobTo(dialog.path())) return true;
  Dialogs().ShowMessage(this, texts_.GetText(L"save_backup_failed"), true);
  return false;
}

bool CKelvaneDocument::SaveJobTo(const std::wstring& path) {
  job_.ArchiveCompLevel = ParseLevelText(levelText_);
  if (!WriteJobToDocument(job_, document_)) return false;
  const uint32_t saved = document_.SaveFile(path);
  document_.Clear();
  // Only a file that is on disk makes the job unchanged and names the window.
  if (saved != 0) return false;
  path_ = path;
  job_.Modified = false;
  SetTitleFromPath();
  UpdateStates();
  return true;
}

void CKelvaneDocument::StartJob() {
  if (!IsStartable(job_)) {
    Dialogs().ShowMessage(this, texts_.GetText(L"valid_backup_failed"), true);
    return;
  }
  if (!PasswordsAgree()) return;
  JsonDocument document;
  WriteJobToDocument(RunnableJob(), document);
  // A preview shares the run's cancel: it ends before the run begins.
  preview_->Stop();
  // On GTK, hiding a modal dialog ends its modal loop, and with it the
  // program: the editor steps aside as a plain window and stays modal, to
  // come back where it was.
  const wxPoint at = GetPosition();
  wxTopLevelWindow::Show(false);
  {
    RunWindowOptions options;
    options.jobName = JobName(path_, job_);
    options.profile = &profile_;
    CKelvaneCompressDlg window(nullptr, document, texts_, sevenZipPath_, options);
    window.ShowModal();
  }
  wxTopLevelWindow::Show(true);
  Move(at);
  Raise();
  // The run may have changed what counts as unchanged.
  preview_->JobChanged(RunnableJob());
}

void CKelvaneDocument::RemoveSelectedFolders() {
  const std::vector<std::wstring> selected = folderList_->SelectedFolders();
  if (selected.empty()) return;
  RemoveIncludeFolders(job_, selected);
  folderList_->SetFolders(job_.IncludeFolders);
  Changed();
}

void CKelvaneDocument::ShowHelp() {
  Dialogs().ShowMessage(this, texts_.GetText(L"ui_help_text"), false);
}

void CKelvaneDocument::ShowAbout() {
  CAboutDlg about(this, texts_);
  about.ShowModal();
}

}  // namespace kelvane::ui
