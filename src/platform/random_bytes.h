// Unpredictable bytes from the operating system.
#pragma once

#include <cstddef>

namespace kelvane::platform {

// Fills `buffer` with `n` random bytes; returns 0 or the errno value.
[[nodiscard]] int RandomBytes(void* buffer, size_t n);

}  // namespace kelvane::platform
