// A target's manifest beside it in the archive folder, "<target>.kvnman" for
// its owner only, and what a run that takes only changed files reads back
// from the manifests of earlier runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

class ChangeCatalog;
struct ManifestHeader;
class RunLog;
namespace platform {
class Folder;
struct DirectoryEntry;
}  // namespace platform

// Whether the manifest beside `targetName` (listed in `entries`) lists a
// file or link; none when there is no manifest to believe.
std::optional<bool> ManifestListsFiles(const platform::Folder& archiveFolder,
                                       const std::vector<platform::DirectoryEntry>& entries,
                                       const std::wstring& targetName);

// When the newest full backup among the targets `isTarget` names began, as
// the manifests beside them say; none when no such manifest is believed.
std::optional<int64_t> NewestFullBackup(const platform::Folder& archiveFolder,
                                        const std::vector<platform::DirectoryEntry>& entries,
                                        const std::function<bool(const std::wstring&)>& isTarget);

// The lines of the files the scan found unchanged (those `catalog` confirmed),
// each from the manifest of the archive that holds it, and in `*base` the
// newest of those archives other than the target of this run. A file of the
// target this run updates (a folder copy) gets the id of `header`. A
// manifest that is missing, damaged or not believed is logged; the files it
// would list stay out.
std::string KeptFileLines(const platform::Folder& archiveFolder, const ChangeCatalog& catalog,
                          const ManifestHeader& header, RunLog& log, std::wstring* base);

}  // namespace kelvane
