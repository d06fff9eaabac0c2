#include "platform/paths.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/text_codec.h"

namespace kelvane::platform {

std::wstring AbsolutePath(const std::wstring& path) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return path;
    buffer.resize(buffer.size() * 2);
  }
  std::wstring folder = FromNative(buffer.data());
  if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return path.empty() ? folder : folder + path;
}

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
