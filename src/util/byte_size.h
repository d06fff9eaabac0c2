// Short human-readable sizes: "532 bytes", "1.30 KB", "2.28 MB", "1.50 GB".
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// Three significant digits (truncated, never rounded up past the truth), steps
// of 1024, units bytes, KB, MB, GB, TB; a decimal point whatever the locale.
std::wstring FormatByteSize(uint64_t bytes);

}  // namespace kelvane
