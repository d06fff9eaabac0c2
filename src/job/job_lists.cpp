#include "job/job_lists.h"

#include <algorithm>

#include "platform/text_codec.h"
#include "util/trim.h"

namespace kelvane {

std::vector<std::wstring> ListEntriesForSaving(std::wstring_view listText) {
  std::wstring text;
  text.reserve(listText.size());
  for (wchar_t c : listText) {
    if (c != L'\r') text.push_back(c);
  }
  std::vector<std::wstring> entries;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t begin = text.find_first_not_of(L"\n|", pos);
    if (begin == std::wstring::npos) break;
    size_t end = text.find_first_of(L"\n|", begin);
    if (end == std::wstring::npos) end = text.size();
    entries.push_back(Trim(std::wstring_view(text).substr(begin, end - begin)));
    pos = end;
  }
  std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return platform::CompareUtf16(a, b) < 0;
  });
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  return entries;
}

std::wstring JoinListEntries(const std::vector<std::wstring>& entries) {
  std::wstring text;
  for (const std::wstring& entry : entries) {
    text += entry;
    text += L"\r\n";
  }
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

}  // namespace kelvane
