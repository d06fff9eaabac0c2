// Runs in the run window, with the real run driver and real files: the
// window asks through a fake set of message boxes, the test presses its
// buttons from inside its modal loop.
#include "ui/windows/compress_dialog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/run_outcome.h"
#include "support/test_support.h"
#include "util/template_format.h"
#include "window/window_test_support.h"

namespace kelvane::ui {
namespace {

using std::chrono::milliseconds;

class CompressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    job_.Type = kJobTypeZip;
    job_.ArchiveFolder = dir_.Wide("out");
    job_.ArchiveName = L"Daily";
    job_.ArchiveCompLevel = 9;
    job_.IncludeFolders = {dir_.Wide("src")};
    job_.SkipFilesWithoutExtension = false;
  }

  // `count` files of `size` bytes that do not compress.
  // Random letters of a four-letter alphabet: deflate cannot skip them as it
  // skips noise, and at level 9 they cost it about 0.6 s a megabyte, so a run
  // lasts long enough to be watched and cancelled.
  void MakeSources(int count, size_t size) {
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>('a' + (random() & 3));
      test::WriteBytes(dir_.Native("src/file" + std::to_string(i) + ".bin"), bytes);
    }
  }

  // Opens the run window on the job, lets `tick` act every 20 ms while it is
  // open, and returns how it closed. Unless told otherwise it closes by
  // itself at the end, as a run from the command line does.
  int RunWindow(std::function<bool(CKelvaneCompressDlg&)> tick = {},
                RunWindowOptions options = {L"Daily", false, true, nullptr, L""}) {
    EXPECT_TRUE(WriteJobToDocument(job_, document_));
    CKelvaneCompressDlg window(nullptr, document_, texts_, L"", options);
    window_ = &window;
    const auto opened = std::chrono::steady_clock::now();
    test::Ticker ticker([&] {
      if (std::chrono::steady_clock::now() - opened > std::chrono::seconds(60)) {
        ADD_FAILURE() << "the window did not close";
        if (!window.running()) window.EndModal(-1);
        return false;
      }
      return tick ? tick(window) : true;
    });
    const int code = window.ShowModal();
    report_ = window.report();
    window_ = nullptr;
    return code;
  }

  std::string Archive() const { return dir_.Native("out/Daily.zip"); }

  test::TempDir dir_;
  BackupJob job_;
  JsonDocument document_;
  LanguageTable texts_;
  test::FakeDialogs dialogs_;
  CKelvaneCompressDlg* window_ = nullptr;
  std::optional<RunReport> report_;
};

// A run from the command line: the window shows the end (the files line, the
// bar at 100 %, the terminal's end line, no log to open after a clean run),
// stays a second so the last numbers can be read, and closes by itself.
TEST_F(CompressDialogTest, AZipRunCompletesAndTheWindowClosesByItself) {
  MakeSources(40, 50000);
  bool shot = false;
  std::wstring files, percent, outcome;
  bool logOffered = true;
  std::optional<int> closesAfter;
  const int code = RunWindow([&](CKelvaneCompressDlg& window) {
    if (!shot && window.progressBar().position() > 0) {
      shot = !test::SaveScreenshot(&window, "run-window").empty();
    }
    if (window.ended() && !closesAfter) {
      closesAfter = window.closesAfter();
      files = window.filesLine().path();
      percent = window.progressBar().percentText();
      outcome = window.outcomeLine().path();
      logOffered = window.openLogButton().IsShown();
    }
    return false;
  });
  EXPECT_EQ(code, wxID_OK);
  ASSERT_TRUE(closesAfter);
  EXPECT_EQ(*closesAfter, 1000);
  EXPECT_TRUE(shot) << "no screenshot taken while files were written";
  ASSERT_TRUE(report_);
  EXPECT_EQ(report_->outcome, RunOutcome::kCompleted);
  EXPECT_EQ(files, PrintFEx(texts_.GetText(L"ui_processed_files"), {L"40", L"40", L"100"}));
  EXPECT_EQ(percent, L"100%");
  EXPECT_EQ(outcome, OutcomeLines(*report_, texts_).front());
  EXPECT_FALSE(logOffered);
  EXPECT_TRUE(dialogs_.questions.empty());
}

TEST_F(CompressDialogTest, CancelAnsweredNoLetsTheRunComplete) {
  MakeSources(60, 100000);
  bool pressed = false;
  const int code = RunWindow([&](CKelvaneCompressDlg& window) {
    if (!pressed && window.progressBar().position() >= 1) {
      pressed = true;
      wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
      window.cancelButton().GetEventHandler()->ProcessEvent(click);
    }
    return false;
  });
  EXPECT_EQ(code, wxID_OK);
  EXPECT_EQ(dialogs_.questions.size(), 1u);
  ASSERT_TRUE(report_);
  EXPECT_EQ(report_->outcome, RunOutcome::kCompleted);
  EXPECT_EQ(test::RunShell("unzip -tq '" + Archive() + "'"), 0);
}

TEST_F(CompressDialogTest, CancelledBeforeTheStartNothingRuns) {
  MakeSources(2, 100);
  dialogs_.answer = [](const std::wstring&) { return true; };
  bool pressed = false;
  const int code = RunWindow([&](CKelvaneCompressDlg& window) {
    if (!pressed) {
      pressed = true;
      wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
      window.cancelButton().GetEventHandler()->ProcessEvent(click);
    }
    return false;
  });
  EXPECT_EQ(code, wxID_CANCEL);
  EXPECT_FALSE(report_);
  EXPECT_FALSE(test::PathExists(dir_.Native("out")));
}

// One file vanishes between the scan and the copy; the end asks whether to
// open the log, which names it.
class FailedFileTest : public CompressDialogTest {
 protected:
  void SetUp() override {
    CompressDialogTest::SetUp();
    MakeSources(3, 1000);
    fs_.failOpenFile = [](const std::wstring& path) {
      return path.ends_with(L"/file1.bin") ? ENOENT : 0;
    };
  }
  test::FaultyFileSystem fs_;
};

// Yes opens the log, and a log no program can open is named in a message;
// No leaves it closed.
TEST_F(FailedFileTest, TheEndAsksAboutTheErrorsAndYesOpensTheLog) {
  const std::wstring log = dir_.Wide("out/Daily.log");
  const struct {
    bool yes, opens;
    std::vector<std::wstring> opened, messages;
  } rows[] = {
      {true, true, {log}, {}},
      {true, false, {log}, {PrintFEx(texts_.GetText(L"open_file_failed"), {log})}},
      {false, true, {}, {}},
  };
  for (const auto& row : rows) {
    dialogs_.messages.clear();
    dialogs_.questions.clear();
    dialogs_.opened.clear();
    dialogs_.answer = [&row](const std::wstring&) { return row.yes; };
    dialogs_.openSucceeds = row.opens;
    EXPECT_EQ(RunWindow(), wxID_OK);
    ASSERT_TRUE(report_);
    EXPECT_EQ(report_->outcome, RunOutcome::kCompletedWithErrors);
    EXPECT_EQ(dialogs_.questions,
              std::vector<std::wstring>{PrintFEx(texts_.GetText(L"backup_error"), {L"1"})});
    EXPECT_EQ(dialogs_.opened, row.opened) << row.yes << row.opens;
    EXPECT_EQ(dialogs_.messages, row.messages);
  }
}

// Started from the editor, the window stays at the end with what happened
// and where, until the user closes it; the choice to close it by itself
// next time is kept.
TEST_F(FailedFileTest, FromTheEditorTheEndStaysWithTheOutcomeTheFolderAndTheLog) {
  ProfileStore profile(dir_.Wide("profile.json"));
  bool shot = false;
  const int code = RunWindow(
      [&](CKelvaneCompressDlg& window) {
        if (!window.ended()) return false;
        EXPECT_EQ(window.closesAfter(), 0);
        EXPECT_EQ(window.outcomeLine().path(), OutcomeLines(*window.report(), texts_).front());
        EXPECT_EQ(window.report()->errorCount, 1u);
        EXPECT_EQ(window.cancelButton().GetLabel().ToStdWstring(), texts_.GetText(L"ui_close"));
        shot = !test::SaveScreenshot(&window, "run-window-end").empty();
        for (wxButton* button : {&window.openFolderButton(), &window.openLogButton()}) {
          EXPECT_TRUE(button->IsShown());
          wxCommandEvent click(wxEVT_BUTTON, button->GetId());
          button->GetEventHandler()->ProcessEvent(click);
        }
        window.closeWhenDoneBox().SetValue(true);
        wxCommandEvent ticked(wxEVT_CHECKBOX, window.closeWhenDoneBox().GetId());
        window.closeWhenDoneBox().GetEventHandler()->ProcessEvent(ticked);
        wxCommandEvent close(wxEVT_BUTTON, wxID_CANCEL);
        window.cancelButton().GetEventHandler()->ProcessEvent(close);
        return true;
      },
      {L"Daily", false, false, &profile, L""});
  EXPECT_EQ(code, wxID_CANCEL);
  EXPECT_TRUE(shot);
  EXPECT_EQ(dialogs_.opened,
            (std::vector<std::wstring>{dir_.Wide("out/"), dir_.Wide("out/Daily.log")}));
  EXPECT_EQ(profile.GetInt("RunWindow", "CloseWhenDone", 0), 1);
}

}  // namespace
}  // namespace kelvane::ui
