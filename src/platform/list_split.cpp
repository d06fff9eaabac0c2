#include "platform/list_split.h"

namespace kelvane::platform {

std::vector<std::wstring_view> SplitList(std::wstring_view text, std::wstring_view separators) {
  std::vector<std::wstring_view> pieces;
  for (size_t begin = text.find_first_not_of(separators); begin != std::wstring_view::npos;) {
    size_t end = text.find_first_of(separators, begin);
    if (end == std::wstring_view::npos) end = text.size();
    pieces.push_back(text.substr(begin, end - begin));
    begin = text.find_first_not_of(separators, end);
  }
  return pieces;
}

}  // namespace kelvane::platform
