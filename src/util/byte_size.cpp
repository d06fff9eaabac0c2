#include "util/byte_size.h"

#include "util/format_text.h"

namespace kelvane {

std::wstring FormatByteSize(uint64_t bytes) {
  if (bytes < 1000) return FormatText(L"%llu bytes", static_cast<unsigned long long>(bytes));
  static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
  // Hundredths of the unit, in integers so nothing rounds up.
  uint64_t unit = 1024;
  size_t index = 0;
  while (index + 1 < std::size(kUnits) && bytes / unit >= 1000) {
    unit *= 1024;
    ++index;
  }
  const auto whole = static_cast<unsigned long long>(bytes / unit);
  const auto fraction = static_cast<unsigned long long>(bytes % unit * 100 / unit);
  if (whole >= 100) return FormatText(L"%llu %s", whole, kUnits[index]);
  if (whole >= 10) return FormatText(L"%llu.%llu %s", whole, fraction / 10, kUnits[index]);
  return FormatText(L"%llu.%02llu %s", whole, fraction, kUnits[index]);
}

}  // namespace kelvane
