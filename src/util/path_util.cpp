#include "util/path_util.h"

#include "platform/file_system.h"
#include "platform/paths.h"

namespace kelvane {

using platform::kPathSeparator;

bool AddBackslash(std::wstring& path) {
  if (path.empty()) return false;
  if (path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return true;
}

std::wstring ModuleFolder() { return FolderOf(platform::ExecutablePath()); }

std::wstring FolderOf(std::wstring_view path) {
  const size_t last = path.rfind(kPathSeparator);
  if (last == std::wstring_view::npos) return {};
  return std::wstring(path.substr(0, last + 1));
}

std::wstring FileNameOf(std::wstring_view path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == kPathSeparator) --end;
  const size_t last = path.substr(0, end).rfind(kPathSeparator);
  if (last == std::wstring_view::npos || end == 1) return std::wstring(path);
  return std::wstring(path.substr(last + 1));
}

uint64_t FileSize(const std::wstring& path) {
  uint64_t size = 0;
  if (!platform::Fs().Exists(path) || platform::Fs().SizeOf(path, &size) != 0) return 0;
  return size;
}

}  // namespace kelvane
