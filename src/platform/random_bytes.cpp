#include "platform/random_bytes.h"

#include <sys/random.h>

#include <cerrno>

#include "platform/posix_io.h"

namespace kelvane::platform {

int RandomBytes(void* buffer, size_t n) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (n > 0) {
    const ssize_t got = RetryOnInterrupt([&] { return ::getrandom(p, n, 0); });
    if (got < 0) return errno;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return 0;
}

}  // namespace kelvane::platform
