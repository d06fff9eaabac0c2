#include "ui/windows/kelvane_document.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "archive/sevenzip/seven_zip_module.h"
#include "job/job_edits.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/paths.h"
#include "platform/program_run.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "ui/layout/mnemonics.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/toolkit/html_static.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/label_text.h"
#include "ui/toolkit/svg_icons.h"
#include "ui/windows/about_dialog.h"
#include "ui/windows/compress_dialog.h"
#include "ui/windows/file_dialog.h"
#include "ui/windows/folder_picker.h"
#include "ui/windows/list_field.h"
#include "util/template_format.h"

namespace kelvane::ui {

namespace {

constexpr wchar_t kLibraryFilter[] = L"7z.so|7z.so||";

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
                  {kStartButton, L"ui_menu_start", L"ui_tip_start", kIconStart},
                  {kRestoreButton, L"ui_menu_restore", L"ui_tip_restore", kIconLoad}};
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
  BindCommand(kRestoreButton, [this] { RestoreJob(); });
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
  for (const BoundNumber& number : numbers_) {
    number.field->SetValue(static_cast<int>(std::min<uint32_t>(job_.*number.member, 9999)));
  }
  SayKeepPolicy();
  whiteField_->ChangeValue(ToField(job_.WhiteList));
  blackField_->ChangeValue(ToField(job_.BlackList));
  excludeField_->ChangeValue(ToField(job_.ExcludeFolders));
  folderList_->SetFolders(job_.IncludeFolders);
  storageList_->SetFolders(job_.StorageLocations);
  FillNoticeFields();
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
  // Only archives go to further storage locations.
  storageList_->Enable(archive);
  for (wxButton* button : storageButtons_) button->Enable(archive);
  for (CHTMLStatic* hint : {passwordHint_, storageHint_}) {
    if (hint->IsShown() == archive) {
      hint->Show(!archive);
      hint->GetParent()->Layout();
    }
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

// The restore window of the job as saved, in a program of its own (as
// `kelvane JOB -restore` opens it): a restore reads the archives the saved
// job names, never the editor's unsaved changes.
void CKelvaneDocument::RestoreJob() {
  if (path_.empty() || job_.Modified) {
    Dialogs().ShowMessage(this, texts_.GetText(L"ui_restore_save_first"), true);
    return;
  }
  const wxPoint at = GetPosition();
  wxTopLevelWindow::Show(false);
  int status = 0;
  const int started = platform::RunProgram(
      {platform::ToNative(platform::ExecutablePath()), platform::ToNative(path_), "-restore"},
      &status);
  wxTopLevelWindow::Show(true);
  Move(at);
  Raise();
  if (started != 0) {
    Dialogs().ShowMessage(this, PrintFEx(texts_.GetText(L"open_file_failed"), {path_}), true);
  }
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
