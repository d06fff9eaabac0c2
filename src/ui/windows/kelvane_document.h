// The job editor: the program's main window when no run is started from the
// command line. The user edits one job on five pages (preferences, folders,
// filters, security, program), and makes, loads, saves and starts jobs with
// the five buttons below them.
//
// Every change of a field goes into the job at once and marks it modified;
// the save button is enabled exactly while it is. New, Load and closing the
// window ask first when there are unsaved changes. Start hides the editor,
// runs the job in the run window, and shows the editor again, the job as it
// was. Window thread only.
#pragma once

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "ui/toolkit/dialog_layout.h"
#include "ui/toolkit/folder_list_ctrl.h"
#include "ui/toolkit/html_static.h"
#include "ui/toolkit/nav_list_ctrl.h"
#include "ui/toolkit/property_list.h"
#include "ui/windows/job_preview_panel.h"

namespace kelvane {
class LanguageTable;
class ProfileStore;
}  // namespace kelvane

namespace kelvane::ui {

class CKelvaneDocument : public DARo3::DialogLayout {
 public:
  // Window ids; a field's id is its control's.
  enum ControlId : int {
    kPropertyList = 1002,
    kFolderList = 1003,
    kStorageList = 1004,
    kNavList = 1403,
    kNewButton = 1005,
    kLoadButton = 1006,
    kSaveButton = 1007,
    kSaveAsButton = 1008,
    kStartButton = 1009,
    kRestoreButton = 1013,
    kWhiteListField = 18,
    kBlackListField = 19,
    kTypeField = 20,
    kExcludeField = 21,
    kArchiveFolderField = 23,
    kArchiveNameField = 24,
    kLevelField = 25,
    kPasswordField = 26,
    kPasswordShown = 27,  // the same password, readable
    kPasswordToggle = 28,
    kPasswordRepeat = 29,
    kLogFolderBox = 1500,
    kLogFilesBox = 1501,
    kLogBlackListBox = 1502,
    kLogErrorsBox = 1503,
    kLogRemoveBox = 1506,
    kSkipNoExtensionBox = 1507,
    kArchiveBitGetBox = 1508,
    kArchiveBitSetBox = 1509,
    kArchiveBitHint = 1519,
    kLinksBox = 1522,
    kSystemFilesBox = 1510,
    kHiddenFilesBox = 1511,
    kTestFilesBox = 1512,
    kSevenZipField = 1513,
    kRecentFileBox = 1514,
    kAddDateBox = 1515,
    kOverwriteBox = 1516,
    kArchiveFolderBrowse = 1517,
    kSevenZipBrowse = 1518,
    kCloseCommand = 1520,
    kHelpCommand = 1521,
    kAboutCommand = 16,
    kFolderAdd = 3010,
    kFolderRemove = 3012,
    kExcludeAdd = 2210,
    kStorageAdd = 1710,
    kStorageEdit = 1711,
    kStorageRemove = 1712,
    kStorageTest = 1713,
    kKeepLastField = 1530,
    kKeepDaysField = 1531,
    kKeepWeeksField = 1532,
    kKeepMonthsField = 1533,
    kFullEveryField = 1534,
    kKeepPolicyLine = 1535,
    kNotifyDesktopField = 1540,
    kNotifyMailField = 1541,
    kNotifyWebhookField = 1542,
    kNotifyOnField = 1543,
    kNoticeTest = 1544,
    kLastBackupLine = 1545,
    kMailServerField = 1550,
    kMailPortField = 1551,
    kMailSecurityField = 1552,
    kMailUserField = 1553,
    kMailPasswordField = 1554,
    kMailFromField = 1555,
  };
  // Pages, as the navigation list names them.
  enum PageId : int {
    kFolderPage = 1000,
    kPreferencesPage = 1001,
    kFilterPage = 1002,
    kSecurityPage = 1003,
    kProgramPage = 1004,
    kPreviewPage = 1005,
  };

  // Opens on the job in `loaded` (read from `jobPath`) or, without one, on a
  // new job. `profile` keeps the placement, the pickers' folders and the
  // editor's preferences; both outlive the window.
  CKelvaneDocument(wxWindow* parent, const LanguageTable& texts, ProfileStore& profile,
                   const std::wstring& jobPath, const JsonDocument* loaded);
  ~CKelvaneDocument() override;

  // The job file commands of the buttons.
  void NewJob();
  bool LoadJob();
  bool SaveJob(bool saveAs);
  bool SaveJobTo(const std::wstring& path);
  void StartJob();
  void RestoreJob();

  // Whether unsaved changes may go: asks Save / Discard / Cancel when there
  // are some, and saves on Save.
  bool MayDropChanges();

  void ShowPage(int pageId);
  int shownPage() const { return pages_->shownPage(); }
  void ShowHelp();
  void ShowAbout();

  const BackupJob& job() const { return job_; }
  CJobPreviewPanel& previewPanel() { return *preview_; }
  const std::wstring& jobPath() const { return path_; }
  const std::wstring& levelText() const { return levelText_; }
  bool passwordShown() const { return passwordShown_; }

 private:
  void BuildPreferencesPage();
  // The keep policy's fields and the sentence that says what it keeps.
  void AddKeepFields();
  void SayKeepPolicy();
  void BuildFolderPage();
  void BuildFilterPage();
  void BuildSecurityPage();
  void BuildProgramPage();
  void BuildPreviewPage();
  void BuildLayout();
  void BindCommands();
  void BindCommand(int id, std::function<void()> command);

  // A check box across the page, bound to `field` when there is one.
  wxCheckBox* AddCheckBox(int pageId, int id, const wchar_t* labelKey,
                          bool BackupJob::*field = nullptr);
  wxTextCtrl* AddListField(int pageId, int id, std::wstring BackupJob::*field);
  wxButton* AddBrowseButton(wxWindow* page, int id, const wchar_t* nameKey);
  // A note in italics across the page, also read after the name of `about`.
  CHTMLStatic* AddHint(int pageId, const wchar_t* key, std::initializer_list<wxWindow*> about);
  wxString Text(const wchar_t* key) const;

  // The job into the controls, and the states that follow from it.
  void FillFields();
  void UpdateStates();
  void SetTitleFromPath();
  void Changed();
  // The job as a run takes it (with the level shown).
  BackupJob RunnableJob() const;
  void TakeLoadedJob(const JsonDocument& document);

  void ChooseArchiveFolder();
  void ChooseSevenZipLibrary();
  void AddSourceFolder(const std::wstring& folder);
  void RemoveSelectedFolders();
  // The further storage locations (kelvane_document_locations.cpp).
  void BuildStorageGroup();
  void BindStorageCommands();
  void AddStorageLocation();
  void EditStorageLocation();
  void RemoveStorageLocations();
  void TestStorageLocations();
  void SetStorageLocations(std::vector<std::wstring> locations);
  // How the job tells the user of its runs, and the user's mail server
  // (kelvane_document_notices.cpp).
  void BuildNoticeGroups();
  void FillNoticeFields();
  void TakeNoticeFields();
  void SaveMailServer();
  void TestNotices();
  void ShowPassword(bool shown);
  // Whether the two password entries agree (or need not); if not, says so
  // and takes the user to them.
  bool PasswordsAgree();
  void ArchiveNameTyped();

  const LanguageTable& texts_;
  ProfileStore& profile_;
  BackupJob job_;
  std::wstring path_;
  std::wstring levelText_ = L"9";
  std::wstring sevenZipPath_;
  bool passwordShown_ = false;
  bool filling_ = false;  // controls being filled from the job: no changes
  JsonDocument document_;
  std::wstring scratch_;  // the folder pickers' path

  CVxNavListCtrl* nav_;
  CVxPropertyList* pages_;
  CVxNewListControl* folderList_ = nullptr;
  CVxNewListControl* storageList_ = nullptr;
  std::vector<wxButton*> storageButtons_;  // add, edit, remove, test
  CHTMLStatic* storageHint_ = nullptr;     // shown for a folder job
  CJobPreviewPanel* preview_ = nullptr;
  wxChoice* typeField_ = nullptr;
  wxTextCtrl* archiveFolderField_ = nullptr;
  wxTextCtrl* nameField_ = nullptr;
  wxChoice* levelField_ = nullptr;
  wxTextCtrl* passwordField_ = nullptr;
  wxTextCtrl* passwordShownField_ = nullptr;
  wxToggleButton* passwordToggle_ = nullptr;
  wxTextCtrl* repeatField_ = nullptr;
  wxStaticText* repeatLabel_ = nullptr;
  CHTMLStatic* passwordHint_ = nullptr;
  wxTextCtrl* whiteField_ = nullptr;
  wxTextCtrl* blackField_ = nullptr;
  wxTextCtrl* excludeField_ = nullptr;
  wxTextCtrl* sevenZipField_ = nullptr;
  wxCheckBox* recentBox_ = nullptr;
  struct BoundBox {
    wxCheckBox* box;
    bool BackupJob::*field;
  };
  std::vector<BoundBox> boxes_;
  struct BoundNumber {
    wxSpinCtrl* field;
    uint32_t BackupJob::*member;
  };
  std::vector<BoundNumber> numbers_;
  CHTMLStatic* keepPolicyLine_ = nullptr;
  wxChoice* notifyDesktopField_ = nullptr;
  wxTextCtrl* notifyMailField_ = nullptr;
  wxTextCtrl* notifyWebhookField_ = nullptr;
  wxChoice* notifyOnField_ = nullptr;
  wxStaticText* lastBackupLine_ = nullptr;
  std::vector<wxTextCtrl*> mailFields_;  // server, user, password, from
  wxSpinCtrl* mailPortField_ = nullptr;
  wxChoice* mailSecurityField_ = nullptr;
  std::vector<wxButton*> buttons_;  // new, load, save, save as, start, restore
};

}  // namespace kelvane::ui
