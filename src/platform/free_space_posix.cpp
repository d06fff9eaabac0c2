#include "platform/free_space_posix.h"

#include <sys/statvfs.h>

#include <cerrno>

#include "platform/text_codec.h"

namespace kelvane::platform {

int FreeSpaceAt(const std::wstring& path, uint64_t* bytes, std::wstring* queried) {
  *bytes = 0;
  std::string native = ToNative(path);
  if (native.empty()) native = ".";
  for (;;) {
    struct statvfs status;
    if (::statvfs(native.c_str(), &status) == 0) {
      *bytes = static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
      if (queried) *queried = FromNative(native);
      return 0;
    }
    if ((errno != ENOENT && errno != ENOTDIR) || native == "/" || native == ".") {
      if (queried) *queried = FromNative(native);
      return errno;
    }
    // Walk up to the nearest folder that exists.
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    const size_t slash = native.rfind('/');
    if (slash == std::string::npos) {
      native = ".";
    } else {
      native.resize(slash == 0 ? 1 : slash);
    }
  }
}

}  // namespace kelvane::platform
