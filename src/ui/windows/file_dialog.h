// The desktop's open and save dialogs for the program's files. Filters are
// written as the program's texts write them, entries separated by "|" with
// an optional "||" at the end ("Backup|*.kvnjob||").
#pragma once

#include <string>
#include <string_view>

class wxWindow;

namespace kelvane::ui {

class FileDialog {
 public:
  enum Mode { kOpen, kSave };
  enum Result : int { kOk = 1, kCancelled = 2 };

  // Titled `title` (what the file is for).
  FileDialog(Mode mode, std::wstring_view filter, std::wstring title);

  // Opens at `start` (a file or a folder; empty: the current folder).
  Result Show(wxWindow* owner, const std::wstring& start = L"");
  // The chosen file; empty before Show or after a cancel. A name saved
  // without an extension gets the first filter's (".kvnjob").
  const std::wstring& path() const { return path_; }

  // The filter in wx's form: name|pattern pairs, no trailing bars.
  const std::wstring& wildcard() const { return wildcard_; }

 private:
  Mode mode_;
  std::wstring title_;
  std::wstring wildcard_;
  std::wstring extension_;  // of the first pattern, with its ".", or empty
  std::wstring path_;
};

}  // namespace kelvane::ui
