#include "run/leftover_sweep.h"

#include "log/run_log.h"

namespace kelvane {
namespace {

bool IsRegularFile(const platform::DirectoryEntry& entry) {
  constexpr uint32_t kNotRegular =
      platform::kAttributeDirectory | platform::kAttributeReparsePoint | platform::kAttributeDevice;
  return entry.error == 0 && (entry.attributes & kNotRegular) == 0;
}

}  // namespace

void SweepLeftovers(const platform::Folder& archiveFolder, const OutputNames& outputs,
                    RunLog& log) {
  platform::FileSystem& fs = platform::Fs();
  auto remove = [&fs, &log](const platform::Folder& folder, const std::wstring& name) {
    if (fs.RemoveFile(folder, name).ok()) {
      log.WriteLogFormat(L"Removed %s%s, left by an earlier run that did not end.", folder.path(),
                         name);
    }
  };
  std::vector<platform::DirectoryEntry> entries;
  if (!fs.ReadDirectory(archiveFolder, &entries).ok()) return;
  for (const platform::DirectoryEntry& entry : entries) {
    if (IsRegularFile(entry) && outputs.IsTemporary(entry.name)) remove(archiveFolder, entry.name);
    const bool plainFolder = (entry.attributes & platform::kAttributeDirectory) &&
                             !(entry.attributes & platform::kAttributeReparsePoint);
    if (!outputs.isFolderTarget() || !plainFolder || !outputs.IsTarget(entry.name)) continue;
    platform::Folder target;
    std::vector<platform::DirectoryEntry> inside;
    if (!fs.OpenSubfolder(archiveFolder, entry.name, &entry.id, &target).ok() ||
        !fs.ReadDirectory(target, &inside).ok()) {
      continue;
    }
    for (const platform::DirectoryEntry& file : inside) {
      if (IsRegularFile(file) && platform::IsTemporaryName(file.name, L""))
        remove(target, file.name);
    }
  }
}

}  // namespace kelvane
