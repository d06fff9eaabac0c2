// The job's lists (one entry per CR LF line) in the editor's multi-line
// fields (one per line), and back.
#pragma once

#include <wx/string.h>

#include <string>

namespace kelvane::ui {

// Lists are one entry per CR LF line in the job, one per line in the field.
inline wxString ToField(const std::wstring& lines) {
  std::wstring text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == L'\r' && i + 1 < lines.size() && lines[i + 1] == L'\n') continue;
    text.push_back(lines[i]);
  }
  return wxString(text);
}

inline std::wstring FromField(const wxString& field) {
  std::wstring lines;
  for (const wchar_t c : field.ToStdWstring()) {
    if (c == L'\n') lines += L'\r';
    lines.push_back(c);
  }
  return lines;
}

}  // namespace kelvane::ui
