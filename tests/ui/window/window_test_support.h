// Helpers for tests that open real windows (under desktop_session.sh).
#pragma once

#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/toolkit/dialog_services.h"

namespace kelvane::test {

// Lets the window thread handle events until `done` holds; false when
// `timeout` passed first.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Lets the window thread handle what a change caused.
void Settle(std::chrono::milliseconds time = std::chrono::milliseconds(300));

// Shows `dialog` as the program shows its dialogs, modal, and runs `body`
// inside its loop once the window manager has placed it and the display has
// drawn it; then closes it, unless `body` did.
void WhileShown(wxDialog& dialog, const std::function<void()>& body);

// Calls `tick` every 20 ms on the window thread, inside whatever modal loop
// runs, until it returns true.
class Ticker : public wxEvtHandler {
 public:
  explicit Ticker(std::function<bool()> tick);
  ~Ticker() override;

 private:
  std::function<bool()> tick_;
  wxTimer timer_;
};

// Saves what the screen shows of `window` (with its frame) as
// $KELVANE_ARTIFACTS/NAME.png (default: test-artifacts beside the test
// program); returns the file's path, empty on failure.
std::string SaveScreenshot(wxWindow* window, const std::string& name);
// The folder the artifacts go to, created.
std::string ArtifactFolder();

// Message boxes answered by the test: every text is recorded; questions get
// `answer`'s reply (No without one); opening succeeds unless told otherwise.
class FakeDialogs : public ui::DialogServices {
 public:
  FakeDialogs();
  ~FakeDialogs() override;

  void ShowMessage(wxWindow* parent, const std::wstring& text, bool isError) override;
  bool AskYesNo(wxWindow* parent, const std::wstring& question) override;
  bool OpenWithDesktop(const std::wstring& path) override;
  SaveChoice AskSaveChanges(wxWindow* parent, const std::wstring& question,
                            const std::wstring& save, const std::wstring& discard,
                            const std::wstring& cancel) override;
  std::optional<std::wstring> ChooseFolder(wxWindow* parent, const std::wstring& start,
                                           const std::wstring& title) override;
  std::optional<std::wstring> ChooseFile(wxWindow* parent, FileMode mode,
                                         const std::wstring& wildcard, const std::wstring& start,
                                         const std::wstring& title) override;

  std::vector<std::wstring> messages, questions, opened;
  std::function<bool(const std::wstring& question)> answer;
  bool openSucceeds = true;
  // The answers of the folder and file dialogs, taken in turn (none left: a
  // cancel); what they were opened at, and with which filter.
  std::deque<std::optional<std::wstring>> folders, files;
  std::vector<std::wstring> folderStarts, fileStarts, wildcards, titles;
  std::vector<FileMode> fileModes;
  SaveChoice saveChoice = SaveChoice::kCancel;

 private:
  ui::DialogServices* previous_;
};

}  // namespace kelvane::test
