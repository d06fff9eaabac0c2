#include "platform/paths.h"

#include <unistd.h>

#include <vector>

#include "platform/text_codec.h"

namespace kelvane::platform {

std::wstring ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return FromNative(std::string_view(buffer.data(), static_cast<size_t>(length)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace kelvane::platform
