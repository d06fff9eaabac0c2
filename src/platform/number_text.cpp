#include "platform/number_text.h"

#include <locale.h>

#include <charconv>
#include <cstdlib>
#include <string>

namespace kelvane::platform {
namespace {

locale_t CLocale() {
  static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

size_t ParseDouble(const char* begin, const char* end, double* value) {
  // strtod needs a terminated text; numbers in our files are short.
  const std::string text(begin, end);
  char* stop = nullptr;
  const double result = ::strtod_l(text.c_str(), &stop, CLocale());
  const auto used = static_cast<size_t>(stop - text.c_str());
  if (used > 0) *value = result;
  return used;
}

std::string FormatDoubleG(double value, int precision) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  return std::string(buffer, result.ptr);
}

}  // namespace kelvane::platform
