#include "ui/layout/mnemonics.h"

#include <cwctype>

namespace kelvane::ui {

std::vector<std::wstring> WithMnemonics(const std::vector<std::wstring>& labels,
                                        std::wstring_view taken) {
  std::wstring used;
  for (const wchar_t c : taken) used.push_back(static_cast<wchar_t>(std::towlower(c)));
  std::vector<std::wstring> marked;
  for (const std::wstring& label : labels) {
    std::wstring text;
    bool chosen = false;
    for (const wchar_t c : label) {
      const wchar_t lower = static_cast<wchar_t>(std::towlower(c));
      if (!chosen && std::iswalnum(c) && used.find(lower) == std::wstring::npos) {
        text.push_back(L'&');
        used.push_back(lower);
        chosen = true;
      }
      text.push_back(c);
      if (c == L'&') text.push_back(L'&');
    }
    marked.push_back(std::move(text));
  }
  return marked;
}

}  // namespace kelvane::ui
