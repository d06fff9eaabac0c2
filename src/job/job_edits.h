// The rules of the job editor that need no window: what the editor does to
// the job when the user adds or removes a folder, types an archive name or
// starts a run, and how its title reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/backup_job.h"

namespace kelvane {

// Appends `folder` to the source folders unless it is there already; false
// when it was. Paths compare exactly, as the file system does (/data/Photos
// and /data/photos are two folders).
bool AddIncludeFolder(BackupJob& job, const std::wstring& folder);

// Removes every source folder equal to one of `selected`.
void RemoveIncludeFolders(BackupJob& job, const std::vector<std::wstring>& selected);

// The exclusion text after the folder picker chose `folder`: the text trimmed,
// the folder appended after a vertical bar, then every vertical bar (also
// those the user typed) a line break. An empty text gives a line break
// followed by the folder.
std::wstring AppendExcludeFolder(std::wstring_view excludeFolders, std::wstring_view folder);

// The characters an archive name may not hold: the ones the program always
// refused (".?:*") and "/", which would make the name a path.
inline constexpr std::wstring_view kRefusedNameCharacters = L".?:*/";
// `name` without them.
std::wstring WithoutRefusedNameCharacters(std::wstring_view name);

// A job the editor may start: a source folder, a white list, a target folder
// and an archive name. (A run from the command line does not ask this.)
bool IsStartable(const BackupJob& job);

// "Kelvane" for a job without a file, else "Kelvane - " and the file's path.
std::wstring EditorTitle(std::wstring_view jobPath);

// The job's name for the user: its file's name without ".kvnjob", or, for a
// job never saved, its archive name.
std::wstring JobName(std::wstring_view jobPath, const BackupJob& job);

// The level text the editor shows for `job` ("%ld" of its level).
std::wstring LevelText(const BackupJob& job);

}  // namespace kelvane
