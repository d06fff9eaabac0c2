#include "platform/mount_point.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/text_codec.h"

namespace kelvane::platform {
namespace {

// fstab writes a space in a path as \040 (and a tab, a backslash likewise).
std::string Unescaped(const std::string& field) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    const bool octal = i + 3 < field.size() &&
                       field.substr(i + 1, 3).find_first_not_of("01234567") == std::string::npos;
    if (field[i] == '\\' && octal) {
      text.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
      i += 3;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

bool NamedInFstab(const std::string& path) {
  std::ifstream fstab("/etc/fstab");
  std::string line;
  while (std::getline(fstab, line)) {
    std::istringstream fields(line);
    std::string device;
    std::string mountPoint;
    if (!(fields >> device >> mountPoint) || device.starts_with("#")) continue;
    if (Unescaped(mountPoint) == path) return true;
  }
  return false;
}

}  // namespace

bool AwaitsItsFileSystem(const std::wstring& path) {
  std::string native = ToNative(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native == "/" || !NamedInFstab(native)) return false;
  struct stat self;
  struct stat parent;
  if (::stat(native.c_str(), &self) != 0 || ::stat((native + "/..").c_str(), &parent) != 0) {
    return false;
  }
  return self.st_dev == parent.st_dev;
}

}  // namespace kelvane::platform
