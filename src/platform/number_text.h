// Number conversions that never depend on the user's locale: files must read
// and write "0.1", not "0,1", whatever LC_NUMERIC says.
#pragma once

#include <cstddef>
#include <string>

namespace kelvane::platform {

// Converts the longest prefix of [begin, end) that strtod in the "C" locale
// accepts. Returns the number of bytes used (0: nothing converted, *value
// untouched). Out-of-range values become +-HUGE_VAL or 0, as with strtod.
size_t ParseDouble(const char* begin, const char* end, double* value);

// printf's "%1.<precision>g" in the "C" locale.
std::string FormatDoubleG(double value, int precision);

}  // namespace kelvane::platform
