// Path helpers on wide text with the native separator (platform::kPathSeparator).
// A "folder path" in this program ends in the separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// Appends the separator unless `path` is empty or already ends in one. Returns
// false for an empty path, which is left unchanged.
bool AddBackslash(std::wstring& path);

// `path` made absolute against the current folder and written the one way a
// path is compared: "." and ".." resolved lexically (".." at the root stays
// at the root), repeated separators folded, no final separator ("/" for the
// root itself). "a//b/./../c" run in /home gives "/home/a/c". The empty text
// when a relative path is given and the current folder cannot be told.
std::wstring NormalPath(std::wstring_view path);

// The folder of the running executable, ending in the separator.
std::wstring ModuleFolder();

// Where the program's own file `name` (Config.json) is: beside the
// executable (a build folder, an unpacked copy) or else in the installed data
// folder ../share/kelvane/ next to bin/; the path beside the executable when
// it is in neither place.
std::wstring ProgramDataFile(std::wstring_view name);

// `path` without its last component, ending in the separator ("" when `path`
// has no separator). "/a/b.txt" gives "/a/", "/a/b/" gives "/a/b/".
std::wstring FolderOf(std::wstring_view path);

}  // namespace kelvane
