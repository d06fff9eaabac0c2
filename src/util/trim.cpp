#include "util/trim.h"

namespace kelvane {

bool IsTrimSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v';
}

std::wstring TrimRight(std::wstring_view text) {
  size_t end = text.size();
  while (end > 0 && IsTrimSpace(text[end - 1])) --end;
  return std::wstring(text.substr(0, end));
}

std::wstring Trim(std::wstring_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsTrimSpace(text[begin])) ++begin;
  return TrimRight(text.substr(begin));
}

}  // namespace kelvane
