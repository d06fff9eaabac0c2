#include "platform/wildcard.h"

#include <locale.h>
#include <wctype.h>

#include "platform/list_split.h"

namespace kelvane::platform {
namespace {

wchar_t Fold(wchar_t c) {
  if (c < 0x80) return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
  // Unicode case mapping independent of the user's LC_CTYPE.
  static const locale_t utf8 =
      ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return utf8 ? static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(c), utf8)) : c;
}

bool Glob(std::wstring_view text, std::wstring_view pattern, bool exact) {
  const auto same = [exact](wchar_t a, wchar_t b) { return exact ? a == b : Fold(a) == Fold(b); };
  size_t t = 0;
  size_t p = 0;
  size_t starP = std::wstring_view::npos;
  size_t starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || same(pattern[p], text[t]))) {
      ++t, ++p;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starT = t;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesPattern(std::wstring_view text, std::wstring_view pattern, LetterCase letters) {
  const bool exact = letters == LetterCase::kExact;
  if (Glob(text, pattern, exact)) return true;
  // "name.*" also takes "name": a missing extension counts as an empty one.
  if (pattern.size() >= 2 && pattern.ends_with(L".*")) {
    return Glob(text, pattern.substr(0, pattern.size() - 2), exact);
  }
  return false;
}

bool MatchesAnyPattern(std::wstring_view text, std::wstring_view spec) {
  for (std::wstring_view pattern : SplitList(spec, L";")) {
    while (!pattern.empty() && pattern.front() == L' ') pattern.remove_prefix(1);
    while (!pattern.empty() && pattern.back() == L' ') pattern.remove_suffix(1);
    if (!pattern.empty() && MatchesPattern(text, pattern)) return true;
  }
  return false;
}

std::wstring_view FileExtension(std::wstring_view name) {
  size_t dot = std::wstring_view::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == L' ' || name[i] == L'/') {
      dot = std::wstring_view::npos;
    } else if (name[i] == L'.') {
      dot = i;
    }
  }
  return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);
}

}  // namespace kelvane::platform
