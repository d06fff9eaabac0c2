// Message boxes, Yes/No questions and opening a file with the desktop's
// program, as the windows of the program ask for them. The process has one
// set of services: wx message dialogs and xdg-open. A test puts its own in
// place to answer without a person; nothing else knows about it.
// Window thread only.
#pragma once

#include <string>

class wxWindow;

namespace kelvane::ui {

class DialogServices {
 public:
  virtual ~DialogServices() = default;

  // A message with an OK button, as an error or as information.
  virtual void ShowMessage(wxWindow* parent, const std::wstring& text, bool isError) = 0;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(wxWindow* parent, const std::wstring& question) = 0;
  // Opens `path` with the desktop's program for it; false when none could.
  virtual bool OpenWithDesktop(const std::wstring& path) = 0;
};

// The services in use.
DialogServices& Dialogs();

// Puts `services` in use (null: the desktop's again) and returns the ones it
// replaced. The caller keeps ownership.
DialogServices* ReplaceDialogServices(DialogServices* services);

}  // namespace kelvane::ui
