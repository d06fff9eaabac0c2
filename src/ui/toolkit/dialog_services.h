// Message boxes, questions, the desktop's folder and file dialogs, and
// opening a file with the desktop's program, as the windows of the program
// ask for them. The process has one set of services: wx's dialogs (GTK's)
// and xdg-open. A test puts its own in
// place to answer without a person; nothing else knows about it.
// Window thread only.
#pragma once

#include <optional>
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

  // Save the changes, throw them away, or stay where the user was.
  enum class SaveChoice { kSave, kDiscard, kCancel };
  // The question with three buttons of those names.
  virtual SaveChoice AskSaveChanges(wxWindow* parent, const std::wstring& question,
                                    const std::wstring& save, const std::wstring& discard,
                                    const std::wstring& cancel) = 0;

  // A folder chosen in the desktop's folder dialog, titled `title` (what is
  // being chosen), which opens at `start`; none when the user cancelled.
  virtual std::optional<std::wstring> ChooseFolder(wxWindow* parent, const std::wstring& start,
                                                   const std::wstring& title) = 0;

  enum class FileMode { kOpen, kSave };
  // A file chosen in the desktop's file dialog (wx's wildcard form, such as
  // "Backup|*.kvnjob"), titled `title`, opening at `start` (a folder or a
  // file); none when the user cancelled. Saving over an existing file asks
  // first.
  virtual std::optional<std::wstring> ChooseFile(wxWindow* parent, FileMode mode,
                                                 const std::wstring& wildcard,
                                                 const std::wstring& start,
                                                 const std::wstring& title) = 0;
};

// The services in use.
DialogServices& Dialogs();

// Puts `services` in use (null: the desktop's again) and returns the ones it
// replaced. The caller keeps ownership.
DialogServices* ReplaceDialogServices(DialogServices* services);

}  // namespace kelvane::ui
