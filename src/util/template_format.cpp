#include "util/template_format.h"

#include <stdexcept>
#include <vector>

namespace kelvane {
namespace {

constexpr size_t kMaxArguments = 15;
constexpr size_t kNoPlaceholder = static_cast<size_t>(-1);

// The argument index of a placeholder starting at tmpl[i] == '[', or kNoPlaceholder.
size_t PlaceholderIndex(std::wstring_view tmpl, size_t i) {
  if (i + 1 >= tmpl.size()) return kNoPlaceholder;
  wchar_t c = tmpl[i + 1];
  if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  if (c >= L'1' && c <= L'9') return static_cast<size_t>(c - L'1');
  if (c >= L'a' && c <= L'z' && i + 2 < tmpl.size() && tmpl[i + 2] == L']') {
    return static_cast<size_t>(c - L'a') + 9;
  }
  return kNoPlaceholder;
}

}  // namespace

std::wstring ExpandTemplate(std::wstring_view tmpl, std::span<const std::wstring_view> args) {
  std::wstring out;
  out.reserve(tmpl.size());
  for (size_t i = 0; i < tmpl.size();) {
    const size_t index = tmpl[i] == L'[' ? PlaceholderIndex(tmpl, i) : kNoPlaceholder;
    if (index == kNoPlaceholder) {
      out.push_back(tmpl[i]);
      ++i;
      continue;
    }
    if (index < args.size()) {
      out.append(args[index]);
    } else {
      out.push_back(L'?');
    }
    // "[1" at the very end of the template has nothing more to consume.
    i += 3;
  }
  // The result is a C-style text: an argument with a null character ends it there.
  const size_t nul = out.find(L'\0');
  if (nul != std::wstring::npos) out.resize(nul);
  return out;
}

std::wstring PrintFEx(std::wstring_view tmpl, std::initializer_list<std::wstring_view> args) {
  if (args.size() > kMaxArguments) throw std::runtime_error("PrintFEx bad template format");
  return ExpandTemplate(tmpl, std::span<const std::wstring_view>(args.begin(), args.size()));
}

}  // namespace kelvane
