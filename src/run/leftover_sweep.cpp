#include "run/leftover_sweep.h"

#include <functional>

#include "log/run_log.h"
#include "manifest/manifest_line.h"

namespace kelvane {
namespace {

bool IsRegularFile(const platform::DirectoryEntry& entry) {
  constexpr uint32_t kNotRegular =
      platform::kAttributeDirectory | platform::kAttributeReparsePoint | platform::kAttributeDevice;
  return entry.error == 0 && (entry.attributes & kNotRegular) == 0;
}

// The copies' temporaries in `folder` and, when `deep`, in every folder below
// it (entered one inside the other, never through a link).
void SweepCopies(const platform::Folder& folder, bool deep,
                 const std::function<void(const platform::Folder&, const std::wstring&)>& remove) {
  platform::FileSystem& fs = platform::Fs();
  std::vector<platform::DirectoryEntry> inside;
  if (!fs.ReadDirectory(folder, &inside).ok()) return;
  for (const platform::DirectoryEntry& entry : inside) {
    if (IsRegularFile(entry) && platform::IsTemporaryName(entry.name, L"")) {
      remove(folder, entry.name);
    } else if (deep && platform::IsPlainFolder(entry)) {
      platform::Folder below;
      if (fs.OpenSubfolder(folder, entry.name, &entry.id, &below).ok()) {
        SweepCopies(below, true, remove);
      }
    }
  }
}

}  // namespace

void SweepLeftovers(const platform::Folder& archiveFolder, const OutputNames& outputs,
                    RunLog& log) {
  platform::FileSystem& fs = platform::Fs();
  auto remove = [&fs, &log](const platform::Folder& folder, const std::wstring& name) {
    if (fs.RemoveTree(folder, name).ok()) {
      log.WriteLogFormat(L"Removed %s%s, left by an earlier run that did not end.", folder.path(),
                         name);
    }
  };
  std::vector<platform::DirectoryEntry> entries;
  if (!fs.ReadDirectory(archiveFolder, &entries).ok()) return;
  for (const platform::DirectoryEntry& entry : entries) {
    const bool plainFolder = platform::IsPlainFolder(entry);
    // A folder of the scheme: a new folder copy's staging, or a storage
    // location's points staged for its keep policy.
    if ((IsRegularFile(entry) || plainFolder) && outputs.IsTemporary(entry.name)) {
      remove(archiveFolder, entry.name);
      continue;
    }
    if (!outputs.isFolderTarget() || !plainFolder || !outputs.IsTarget(entry.name)) continue;
    platform::Folder target;
    if (!fs.OpenSubfolder(archiveFolder, entry.name, &entry.id, &target).ok()) continue;
    // An update that did not end may have left a copy in any folder.
    platform::Folder own;
    const bool marked = fs.OpenSubfolder(target, kManifestFolder, nullptr, &own).ok() &&
                        fs.RemoveFile(own, kUpdateMark).ok();
    SweepCopies(target, marked, remove);
  }
}

}  // namespace kelvane
