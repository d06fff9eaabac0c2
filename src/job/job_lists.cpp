#include "job/job_lists.h"

#include "platform/list_split.h"
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
  for (const std::wstring_view piece : platform::SplitList(text, L"\n|")) {
    entries.push_back(Trim(piece));
  }
  platform::SortUniqueByUtf16(entries);
  return entries;
}

std::wstring JoinListEntries(const std::vector<std::wstring>& entries) {
  size_t size = 0;
  for (const std::wstring& entry : entries) size += entry.size() + 2;
  std::wstring text;
  text.reserve(size);
  for (const std::wstring& entry : entries) {
    text += entry;
    text += L"\r\n";
  }
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

}  // namespace kelvane
