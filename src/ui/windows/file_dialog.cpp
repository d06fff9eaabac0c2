#include "ui/windows/file_dialog.h"

#include "ui/toolkit/dialog_services.h"

namespace kelvane::ui {

FileDialog::FileDialog(Mode mode, std::wstring_view filter, std::wstring title)
    : mode_(mode), title_(std::move(title)) {
  std::wstring_view rest = filter;
  while (!rest.empty() && rest.back() == L'|') rest.remove_suffix(1);
  wildcard_ = std::wstring(rest);
  // The first pattern: after the first bar, up to the next.
  const size_t bar = wildcard_.find(L'|');
  if (bar != std::wstring::npos) {
    std::wstring pattern = wildcard_.substr(bar + 1, wildcard_.find(L'|', bar + 1) - bar - 1);
    if (pattern.rfind(L"*.", 0) == 0 && pattern.find_first_of(L"*?;", 2) == std::wstring::npos) {
      extension_ = pattern.substr(1);
    }
  }
}

FileDialog::Result FileDialog::Show(wxWindow* owner, const std::wstring& start) {
  path_.clear();
  const auto chosen = Dialogs().ChooseFile(
      owner, mode_ == kOpen ? DialogServices::FileMode::kOpen : DialogServices::FileMode::kSave,
      wildcard_, start, title_);
  if (!chosen || chosen->empty()) return kCancelled;
  path_ = *chosen;
  if (mode_ == kSave && !extension_.empty()) {
    const size_t slash = path_.rfind(L'/');
    const std::wstring name = path_.substr(slash == std::wstring::npos ? 0 : slash + 1);
    if (name.find(L'.') == std::wstring::npos) path_ += extension_;
  }
  return kOk;
}

}  // namespace kelvane::ui
