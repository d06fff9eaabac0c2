// The job editor in a real window, driven through its controls as the user
// would use them; the desktop's dialogs are answered by the test.
#include "ui/windows/kelvane_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "support/test_support.h"
#include "window/window_test_support.h"

namespace kelvane::ui {
namespace {

using Id = CKelvaneDocument::ControlId;

class EditorTest : public ::testing::Test {
 protected:
  EditorTest() : profile_(dir_.Wide("profile.json")) {
    // Runs started here close their window by themselves.
    profile_.WriteInt("RunWindow", "CloseWhenDone", 1);
    test::WriteBytes(dir_.Native("src/a.txt"), "alpha");
    test::WriteBytes(dir_.Native("src/sub/b.log"), "beta");
    std::filesystem::create_directories(dir_.Native("out"));
  }

  template <class Control>
  Control* Field(CKelvaneDocument& editor, int id) {
    auto* control = wxDynamicCast(editor.FindWindow(id), Control);
    EXPECT_TRUE(control) << "no control " << id;
    return control;
  }
  // What the control shows: a text field's text, a choice's entry, "1" or
  // "0" for a check box.
  std::wstring Shown(CKelvaneDocument& editor, int id) {
    wxWindow* control = editor.FindWindow(id);
    if (auto* text = wxDynamicCast(control, wxTextCtrl)) return text->GetValue().ToStdWstring();
    if (auto* choice = wxDynamicCast(control, wxChoice)) {
      return choice->GetStringSelection().ToStdWstring();
    }
    return Field<wxCheckBox>(editor, id)->GetValue() ? L"1" : L"0";
  }
  // The user's press of a button, choice of entry `value`, or setting of a
  // check box or toggle to `value`; commands it asks for run after it.
  void Act(CKelvaneDocument& editor, int id, int value = 0) {
    wxWindow* control = editor.FindWindow(id);
    wxEventType type = wxEVT_BUTTON;
    if (auto* choice = wxDynamicCast(control, wxChoice)) {
      choice->SetSelection(value), type = wxEVT_CHOICE;
    } else if (auto* box = wxDynamicCast(control, wxCheckBox)) {
      box->SetValue(value), type = wxEVT_CHECKBOX;
    } else if (auto* toggle = wxDynamicCast(control, wxToggleButton)) {
      toggle->SetValue(value), type = wxEVT_TOGGLEBUTTON;
    }
    wxCommandEvent event(type, id);
    event.SetInt(value);
    event.SetEventObject(control);
    control->GetEventHandler()->ProcessEvent(event);
    wxTheApp->ProcessPendingEvents();
  }
  bool SaveEnabled(CKelvaneDocument& editor) {
    return editor.FindWindow(Id::kSaveButton)->IsEnabled();
  }
  // The example job, copied into the test's folder.
  std::wstring ExampleJob() {
    const char* source = std::getenv("KELVANE_SOURCE_DIR");
    const std::string path = dir_.Native("example.kvnjob");
    test::WriteBytes(
        path, test::ReadBytes(std::string(source ? source : ".") + "/res/example/example.kvnjob"));
    return platform::FromNative(path);
  }
  std::unique_ptr<CKelvaneDocument> Open(const std::wstring& path = L"") {
    document_.Clear();
    if (!path.empty()) {
      EXPECT_TRUE(document_.LoadFile(path).ok());
    }
    return std::make_unique<CKelvaneDocument>(nullptr, texts_, profile_, path, &document_);
  }

  test::TempDir dir_;
  ProfileStore profile_;
  LanguageTable texts_;
  JsonDocument document_;
  test::FakeDialogs dialogs_;
};

TEST_F(EditorTest, ALoadedJobShowsInEveryFieldOnEveryPage) {
  const std::wstring path = ExampleJob();
  auto editor = Open(path);
  test::WhileShown(*editor, [&] {
    EXPECT_EQ(editor->GetTitle().ToStdWstring(), L"Kelvane - " + path);
    const std::pair<int, std::wstring> fields[] = {
        {Id::kTypeField, texts_.GetText(L"ui_archive_type_zip")},
        {Id::kArchiveFolderField, L"demo-out"},
        {Id::kArchiveNameField, L"Example"},
        {Id::kLevelField, L"9"},
        {Id::kLogFilesBox, L"1"},
        {Id::kLogFolderBox, L"0"},
        {Id::kArchiveBitSetBox, L"1"},
        {Id::kTestFilesBox, L"0"},
        {Id::kLinksBox, L"1"},
        {Id::kWhiteListField, L"*.*"},
        {Id::kBlackListField, L"*.log\n*.tmp"}};
    for (const auto& [id, value] : fields) EXPECT_EQ(Shown(*editor, id), value) << id;
    EXPECT_EQ(Field<CVxNewListControl>(*editor, Id::kFolderList)->folders(),
              std::vector<std::wstring>{L"data"});
    EXPECT_FALSE(SaveEnabled(*editor));
    EXPECT_TRUE(editor->FindWindow(Id::kTestFilesBox)->IsEnabled());
    EXPECT_NE(editor->FindWindow(Id::kArchiveBitHint), nullptr);
    const std::pair<int, const char*> pages[] = {
        {CKelvaneDocument::kPreferencesPage, "editor-settings"},
        {CKelvaneDocument::kFolderPage, "editor-folders"},
        {CKelvaneDocument::kFilterPage, "editor-filter"},
        {CKelvaneDocument::kSecurityPage, "editor-security"},
        {CKelvaneDocument::kProgramPage, "editor-program"}};
    for (const auto& [page, name] : pages) {
      editor->ShowPage(page);
      test::Settle();
      EXPECT_EQ(editor->shownPage(), page);
      test::SaveScreenshot(editor.get(), name);
    }
  });
}

TEST_F(EditorTest, ANewJobSavedIsTheFileOfTheSameRecord) {
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    Act(*editor, Id::kNewButton);
    // Without a folder to back up, it does not start.
    Act(*editor, Id::kStartButton);
    EXPECT_EQ(dialogs_.messages, std::vector<std::wstring>{texts_.GetText(L"valid_backup_failed")});
    EXPECT_TRUE(editor->IsShown());
    dialogs_.messages.clear();
    dialogs_.folders = {dir_.Wide("out"), dir_.Wide("src")};
    Act(*editor, Id::kArchiveFolderBrowse);
    Field<wxTextCtrl>(*editor, Id::kArchiveNameField)->SetValue("Daily");
    Act(*editor, Id::kTypeField, 1);
    Act(*editor, Id::kLevelField, 5);  // "6"
    Field<wxTextCtrl>(*editor, Id::kPasswordField)->SetValue("geheim");
    Act(*editor, Id::kFolderAdd);
    Field<wxTextCtrl>(*editor, Id::kBlackListField)->SetValue("*.log\n*.bak");
    EXPECT_TRUE(SaveEnabled(*editor));
    // A password typed once, unseen, may hold a typo: not saved until the
    // second entry agrees.
    dialogs_.files = {dir_.Wide("Daily")};
    Act(*editor, Id::kSaveAsButton);
    EXPECT_EQ(dialogs_.messages,
              std::vector<std::wstring>{texts_.GetText(L"ui_password_mismatch")});
    EXPECT_FALSE(test::PathExists(dir_.Native("Daily.kvnjob")));
    Field<wxTextCtrl>(*editor, Id::kPasswordRepeat)->SetValue("geheim");
    Act(*editor, Id::kSaveAsButton);
    EXPECT_FALSE(SaveEnabled(*editor));
  });
  // Each dialog says what is being chosen.
  EXPECT_EQ(dialogs_.titles, (std::vector<std::wstring>{texts_.GetText(L"ui_choose_archive_folder"),
                                                        texts_.GetText(L"ui_choose_include_folder"),
                                                        texts_.GetText(L"ui_save_job_as")}));
  EXPECT_EQ(editor->jobPath(), dir_.Wide("Daily.kvnjob"));
  EXPECT_EQ(editor->GetTitle().ToStdWstring(), L"Kelvane - " + dir_.Wide("Daily.kvnjob"));
  EXPECT_EQ(profile_.GetString("Main", "RecentFile", L""), dir_.Wide("Daily.kvnjob"));

  BackupJob record;
  record.SetDefaults();
  record.ArchiveFolder = dir_.Wide("out/");
  record.ArchiveName = L"Daily";
  record.Type = kJobTypeZip;
  record.ArchiveCompLevel = 6;
  record.ArchivePassword = L"geheim";
  record.IncludeFolders = {dir_.Wide("src/")};
  record.BlackList = L"*.log\r\n*.bak";
  JsonDocument expected;
  ASSERT_TRUE(WriteJobToDocument(record, expected));
  ASSERT_TRUE(expected.SaveFile(dir_.Wide("expected.kvnjob")).ok());
  const std::string saved = test::ReadBytes(dir_.Native("Daily.kvnjob"));
  EXPECT_EQ(saved, test::ReadBytes(dir_.Native("expected.kvnjob")));
  EXPECT_EQ(saved.find("geheim"), std::string::npos) << "the password is stored in plain text";
  struct stat status {};
  ::stat(dir_.Native("Daily.kvnjob").c_str(), &status);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(EditorTest, NewThenSaveAsWritesTheReadmesSample) {
  const char* source = std::getenv("KELVANE_SOURCE_DIR");
  const std::string readme = test::ReadBytes(std::string(source ? source : ".") + "/README.md");
  const std::string intro = "(the window tests compare the two):\n\n```json\n";
  const size_t start = readme.find(intro);
  ASSERT_NE(start, std::string::npos);
  const size_t begin = start + intro.size();
  const std::string sample = readme.substr(begin, readme.find("\n```", begin) - begin);
  auto editor = Open(ExampleJob());
  test::WhileShown(*editor, [&] {
    Act(*editor, Id::kNewButton);
    dialogs_.files = {dir_.Wide("New")};
    Act(*editor, Id::kSaveAsButton);
  });
  EXPECT_EQ(test::ReadBytes(dir_.Native("New.kvnjob")), sample);
}

TEST_F(EditorTest, TheArchiveNameRefusesFullStopsColonsQuestionMarksStarsAndSlashes) {
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    auto* name = Field<wxTextCtrl>(*editor, Id::kArchiveNameField);
    name->SetValue("report.zip");
    EXPECT_EQ(name->GetValue(), "reportzip");
    EXPECT_EQ(editor->job().ArchiveName, L"reportzip");
    Act(*editor, Id::kNewButton);  // unsaved: asks, and Cancel keeps it
    EXPECT_EQ(editor->job().ArchiveName, L"reportzip");
    dialogs_.saveChoice = DialogServices::SaveChoice::kDiscard;
    Act(*editor, Id::kNewButton);
    EXPECT_FALSE(editor->job().Modified);
    name->SetValue(":?*/");
    EXPECT_EQ(name->GetValue(), "");
    EXPECT_FALSE(editor->job().Modified) << "a refused character changed the job";
  });
}

// What a run does not act on cannot be changed: the level and the password
// of a folder copy, and the options Linux runs always act on or never need.
TEST_F(EditorTest, OptionsThatDoNothingHereCannotBeChanged) {
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    for (const int type : {0, 1}) {
      Act(*editor, Id::kTypeField, type);
      for (const int id : {Id::kLevelField, Id::kPasswordField, Id::kPasswordRepeat}) {
        EXPECT_EQ(editor->FindWindow(id)->IsEnabled(), type != 0) << id << " for type " << type;
      }
    }
    for (const auto& [id, shown] : {std::pair{Id::kOverwriteBox, true},
                                    {Id::kLogErrorsBox, true},
                                    {Id::kLogRemoveBox, true},
                                    {Id::kSystemFilesBox, false}}) {
      EXPECT_FALSE(editor->FindWindow(id)->IsEnabled()) << id;
      EXPECT_EQ(Shown(*editor, id), shown ? L"1" : L"0") << id;
    }
  });
}

// The folder buttons: a source folder is added once and removed by its
// selection; an excluded folder goes on a line of its own, and a bar the
// user typed becomes a line break.
TEST_F(EditorTest, TheFolderButtonsEditTheLists) {
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    editor->ShowPage(CKelvaneDocument::kFolderPage);
    // Folders whose names differ in case only are two folders on Linux.
    dialogs_.folders = {dir_.Wide("src"), dir_.Wide("out"), dir_.Wide("src"), dir_.Wide("SRC")};
    for (int i = 0; i < 4; ++i) Act(*editor, Id::kFolderAdd);
    auto* list = Field<CVxNewListControl>(*editor, Id::kFolderList);
    EXPECT_EQ(list->folders(),
              (std::vector<std::wstring>{dir_.Wide("src/"), dir_.Wide("out/"), dir_.Wide("SRC/")}));
    list->SelectRow(0);
    Act(*editor, Id::kFolderRemove);
    EXPECT_EQ(editor->job().IncludeFolders,
              (std::vector<std::wstring>{dir_.Wide("out/"), dir_.Wide("SRC/")}));
    EXPECT_EQ(list->folders(), editor->job().IncludeFolders);
    dialogs_.folders = {dir_.Wide("src"), dir_.Wide("out")};
    Act(*editor, Id::kExcludeAdd);
    auto* field = Field<wxTextCtrl>(*editor, Id::kExcludeField);
    field->SetValue(field->GetValue() + "|/x/");
    Act(*editor, Id::kExcludeAdd);
    EXPECT_EQ(editor->job().ExcludeFolders, dir_.Wide("src/") + L"\r\n/x/\r\n" + dir_.Wide("out/"));
    EXPECT_EQ(field->GetValue().ToStdWstring(), dir_.Wide("src/") + L"\n/x/\n" + dir_.Wide("out/"));
  });
}

// The preview is the dry run's own finding, entry for entry, on a tree with
// every reason to leave something out; it follows a change of the job and
// filters its list by what the user types.
TEST_F(EditorTest, ThePreviewAgreesWithTheDryRunEntryForEntry) {
  const std::string src = dir_.Native("src");
  ASSERT_EQ(test::RunShell("cd '" + src + "' && mkdir -p skip tmp1 && touch README .profile.txt " +
                           "x.log c.dat skip/s.txt tmp1/t.txt && ln -s a.txt link.txt && " +
                           "mkfifo pipe.txt"),
            0);
  BackupJob record;
  record.ArchiveFolder = dir_.Wide("out");
  record.ArchiveName = L"Daily";
  record.IncludeFolders = {dir_.Wide("src")};
  record.WhiteList = L"*.txt\r\n*.log\r\nREADME";
  record.BlackList = L"*.log";
  record.ExcludeFolders = dir_.Wide("src/skip") + L"\r\n*/tmp?/";
  // What the first run saved into the folder copy is unchanged after it.
  record.Type = kJobTypeFolder;
  record.ArchiveBitGet = true;
  JsonDocument document;
  ASSERT_TRUE(WriteJobToDocument(record, document));
  const std::wstring path = dir_.Wide("Daily.kvnjob");
  ASSERT_TRUE(document.SaveFile(path).ok());
  const std::string run = "XDG_CONFIG_HOME='" + dir_.path() + "' '" + KELVANE_EXECUTABLE + "' '" +
                          dir_.Native("Daily.kvnjob") + "'";
  ASSERT_EQ(test::RunShell(run + " -start -console 2>/dev/null"), 0);
  test::WriteBytes(dir_.Native("src/new.txt"), "changed since");

  auto editor = Open(path);
  CJobPreviewPanel& preview = editor->previewPanel();
  test::WhileShown(*editor, [&] {
    editor->ShowPage(CKelvaneDocument::kPreviewPage);
    ASSERT_TRUE(test::WaitFor([&] { return preview.current(); }));
    test::Settle();
    test::SaveScreenshot(editor.get(), "editor-preview");
    std::string dryRun;
    ASSERT_EQ(test::RunShell(run + " -dry-run -why", &dryRun), 0);
    std::multiset<std::string> expected, shown;
    uint32_t taken = 0;
    std::istringstream lines(dryRun);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("- ", 0) == 0) expected.insert(line.substr(2));
      if (line.rfind("+ ", 0) == 0) ++taken;
    }
    for (const LeftOutEntry& entry : preview.preview().leftOut) {
      shown.insert(platform::ToNative(entry.path + L"\t" + entry.reason));
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(preview.preview().files, taken);
    for (size_t kind = 0; kind < kLeftOutKinds; ++kind) {
      EXPECT_GT(preview.preview().counts[kind], 0u) << "no entry of kind " << kind;
    }

    // Typing filters the list; a change of the job is followed.
    preview.filterField().SetValue(preview.KindText(LeftOutKind::kHidden));
    EXPECT_EQ(preview.shown().size(), preview.preview().counts[size_t(LeftOutKind::kHidden)]);
    Act(*editor, Id::kHiddenFilesBox, 1);
    EXPECT_FALSE(preview.current());
    ASSERT_TRUE(test::WaitFor([&] { return preview.current(); }));
    EXPECT_EQ(preview.preview().counts[size_t(LeftOutKind::kHidden)], 0u);
    EXPECT_EQ(preview.preview().files, taken + 1);
    EXPECT_TRUE(preview.shown().empty());
  });
}

// Only a change of the job enables Save; closing with one asks, Cancel keeps
// the window, Save saves it, and the job still runs as the original did.
TEST_F(EditorTest, ClosingWithChangesAsksAndSaveKeepsTheRestOfTheJob) {
  const std::wstring path = ExampleJob();
  auto editor = Open(path);
  test::WhileShown(*editor, [&] {
    Act(*editor, Id::kRecentFileBox, 1);
    EXPECT_FALSE(SaveEnabled(*editor));
    EXPECT_EQ(profile_.GetInt("Main", "LoadRecentFile", 0), 1);
    Act(*editor, Id::kLogFolderBox, 1);
    EXPECT_TRUE(SaveEnabled(*editor));
    dialogs_.saveChoice = DialogServices::SaveChoice::kCancel;
    EXPECT_FALSE(editor->Close());
    EXPECT_TRUE(editor->IsModal()) << "Cancel closed the window";
    dialogs_.saveChoice = DialogServices::SaveChoice::kSave;
    editor->Close();
    EXPECT_FALSE(editor->IsModal());
  });
  EXPECT_EQ(dialogs_.questions.size(), 2u);
  JsonDocument saved;
  BackupJob job;
  ASSERT_TRUE(saved.LoadFile(path).ok() && job.ReadJob(saved));
  EXPECT_TRUE(job.LogFolder);
  EXPECT_EQ(job.IncludeFolders, std::vector<std::wstring>{L"data"});
  EXPECT_EQ(job.BlackList, L"*.log\r\n*.tmp");
}

TEST_F(EditorTest, AJobThatDoesNotLoadIsSaidAndTheEditorKeepsItsJob) {
  test::WriteBytes(dir_.Native("broken.kvnjob"), "{\"Backup\": [1, 2");
  auto editor = Open(ExampleJob());
  test::WhileShown(*editor, [&] {
    dialogs_.files = {dir_.Wide("broken.kvnjob")};
    EXPECT_FALSE(editor->LoadJob());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find(texts_.GetText(L"load_backup_failed")), std::wstring::npos);
    EXPECT_NE(dialogs_.messages[0].find(dir_.Wide("broken.kvnjob")), std::wstring::npos);
    EXPECT_EQ(editor->job().ArchiveName, L"Example");
    EXPECT_EQ(editor->jobPath(), dir_.Wide("example.kvnjob"));
  });
}

TEST_F(EditorTest, ASevenZipLibraryIsTriedBeforeItIsTaken) {
  test::WriteBytes(dir_.Native("7z.so"), "not a library");
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    dialogs_.files = {dir_.Wide("7z.so")};
    Act(*editor, Id::kSevenZipBrowse);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].rfind(texts_.GetText(L"ui_open_7zip_failed"), 0), 0u);
    EXPECT_EQ(Field<wxTextCtrl>(*editor, Id::kSevenZipField)->GetValue(), "");
    EXPECT_EQ(profile_.GetString("Main", "SevenZip", L"(none)"), L"(none)");
    EXPECT_EQ(dialogs_.wildcards.back(), L"7z.so|7z.so");
  });
}

TEST_F(EditorTest, ThePasswordCanBeShown) {
  auto editor = Open();
  test::WhileShown(*editor, [&] {
    Field<wxTextCtrl>(*editor, Id::kPasswordField)->SetValue("s3cret");
    auto* shown = Field<wxTextCtrl>(*editor, Id::kPasswordShown);
    EXPECT_FALSE(shown->IsShown());
    Act(*editor, Id::kPasswordToggle, 1);
    EXPECT_TRUE(shown->IsShown());
    EXPECT_EQ(shown->GetValue(), "s3cret");
    EXPECT_FALSE(editor->FindWindow(Id::kPasswordField)->IsShown());
    // Typed in sight, it needs no second entry.
    EXPECT_FALSE(editor->FindWindow(Id::kPasswordRepeat)->IsShown());
    dialogs_.files = {dir_.Wide("Shown")};
    EXPECT_TRUE(editor->SaveJob(true));
  });
}

}  // namespace
}  // namespace kelvane::ui
