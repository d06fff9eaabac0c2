#include "util/path_util.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace kelvane {

using platform::kPathSeparator;

bool AddBackslash(std::wstring& path) {
  if (path.empty()) return false;
  if (path.back() != kPathSeparator) path.push_back(kPathSeparator);
  return true;
}

namespace {

// An absolute path with no empty, "." or ".." part (a final separator aside).
bool IsNormalAlready(std::wstring_view path) {
  if (path.empty() || path.front() != kPathSeparator) return false;
  if (path.size() > 1 && path.back() == kPathSeparator) path.remove_suffix(1);
  for (size_t start = 1; start <= path.size();) {
    size_t end = path.find(kPathSeparator, start);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view part = path.substr(start, end - start);
    if ((part.empty() && path.size() > 1) || part == L"." || part == L"..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::wstring NormalPath(std::wstring_view path) {
  // Most paths are written normally already: lists of a million exclusions
  // come this way.
  if (IsNormalAlready(path)) {
    if (path.size() > 1 && path.back() == kPathSeparator) path.remove_suffix(1);
    return std::wstring(path);
  }
  const std::wstring absolute = platform::AbsolutePath(std::wstring(path));
  // A relative path whose base cannot be told names nothing for certain.
  if (absolute.empty() || absolute.front() != kPathSeparator) return {};
  std::vector<std::wstring_view> parts;
  const std::wstring_view text(absolute);
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(kPathSeparator, start);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view part = text.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::wstring normal;
  for (const std::wstring_view part : parts) {
    normal.push_back(kPathSeparator);
    normal += part;
  }
  return normal.empty() ? std::wstring(1, kPathSeparator) : normal;
}

std::wstring ModuleFolder() { return FolderOf(platform::ExecutablePath()); }

std::wstring ProgramDataFile(std::wstring_view name) {
  const std::wstring beside = ModuleFolder() + std::wstring(name);
  if (platform::Fs().Exists(beside)) return beside;
  const std::wstring installed =
      NormalPath(ModuleFolder() + L"../share/kelvane/" + std::wstring(name));
  return platform::Fs().Exists(installed) ? installed : beside;
}

std::wstring FolderOf(std::wstring_view path) {
  const size_t last = path.rfind(kPathSeparator);
  if (last == std::wstring_view::npos) return {};
  return std::wstring(path.substr(0, last + 1));
}

}  // namespace kelvane
