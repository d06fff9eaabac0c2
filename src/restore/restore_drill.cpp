#include "restore/restore_drill.h"

#include <atomic>
#include <map>
#include <mutex>
#include <unordered_map>

#include "operation/operation_host.h"
#include "operation/operation_pump.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "restore/restore_points.h"

namespace kelvane {
namespace {

// Whether the live entry `live` is still what the manifest recorded.
bool SameAsRecorded(const ManifestEntry& entry, const platform::DirectoryEntry& live,
                    const platform::Folder& folder) {
  const bool isLink = (live.attributes & platform::kAttributeReparsePoint) != 0 &&
                      live.reparseTag == platform::kReparseTagSymlink;
  const bool isFolder = (live.attributes & platform::kAttributeDirectory) != 0 && !isLink;
  switch (entry.type) {
    case ManifestEntry::Type::kFolder: return isFolder;
    case ManifestEntry::Type::kLink: {
      std::string target;
      return isLink && platform::Fs().ReadLink(folder, live.name, &target).ok() &&
             target == entry.target;
    }
    case ManifestEntry::Type::kFile: break;
  }
  return !isLink && !isFolder && live.size == entry.size &&
         live.lastWriteTime ==
             platform::FileTimeFromUnix(entry.mtimeSeconds, entry.mtimeNanoseconds);
}

// Each entry of the plan against the live tree at "/" + its path, one
// listing per folder.
void CompareWithLiveTree(const RestorePlan& plan, DrillReport* report,
                         const std::function<void(const std::wstring&)>& finding) {
  std::map<std::string, std::vector<const ManifestEntry*>> byFolder;
  for (const ManifestEntry& entry : plan.entries) {
    const size_t slash = entry.path.rfind('/');
    byFolder["/" + (slash == std::string::npos ? std::string() : entry.path.substr(0, slash))]
        .push_back(&entry);
  }
  for (const auto& [folderPath, entries] : byFolder) {
    platform::Folder folder;
    std::vector<platform::DirectoryEntry> listing;
    if (platform::Fs().OpenFolder(platform::FromNative(folderPath), &folder).ok()) {
      (void)platform::Fs().ReadDirectory(folder, &listing);
    }
    std::unordered_map<std::string, const platform::DirectoryEntry*> live;
    for (const platform::DirectoryEntry& item : listing) live.emplace(item.nativeName, &item);
    for (const ManifestEntry* entry : entries) {
      const size_t slash = entry->path.rfind('/');
      const std::string name =
          slash == std::string::npos ? entry->path : entry->path.substr(slash + 1);
      const auto found = live.find(name);
      const std::wstring path = L"/" + platform::FromNative(entry->path);
      if (found == live.end()) {
        ++report->missingNow;
        finding(L"missing: " + path);
      } else if (!SameAsRecorded(*entry, *found->second, folder)) {
        ++report->changedSince;
        finding(L"changed: " + path);
      }
    }
  }
}

}  // namespace

DrillReport RunDrill(const RestoreRequest& request, OperationHost& host,
                     const std::function<void(const std::wstring&)>& finding) {
  const RestorePlan& plan = request.plan;
  DrillReport report;
  report.files = plan.FileCount();
  std::mutex lock;  // guards `report` and `finding` for the readers' threads
  auto damaged = [&](const std::string& path, const std::wstring& why) {
    std::lock_guard<std::mutex> hold(lock);
    ++report.damaged;
    finding(L"damaged: /" + platform::FromNative(path) + L" (" + why + L")");
  };
  if (const std::vector<std::wstring> missing =
          MissingArchives(*request.archiveFolder, request.listing, plan, request.keys);
      !missing.empty()) {
    report.refused = true;
    for (const std::wstring& archive : missing)
      report.refusal += (report.refusal.empty() ? L"" : L", ") + archive;
    return report;
  }
  std::atomic<bool> cancelled{false};
  OperationPump pump(host, cancelled);
  host.SetProgressMarquee(true);
  std::unordered_map<std::string, WantedFiles> files;
  for (const ManifestEntry& entry : plan.entries) {
    if (entry.type == ManifestEntry::Type::kFile) files[entry.archive].emplace(entry.path, &entry);
  }
  for (auto& item : files) {
    const std::string& archive = item.first;
    WantedFiles& wanted = item.second;
    const platform::DirectoryEntry* listed = nullptr;
    for (const platform::DirectoryEntry& entry : request.listing) {
      if (entry.nativeName == archive) listed = &entry;
    }
    std::unique_ptr<TargetReader> reader;
    platform::Status read =
        OpenTargetReader(*request.archiveFolder, *listed, request.keys, &cancelled, &reader);
    if (read.ok()) {
      read = ReadWantedFiles(
          *reader, wanted,
          [&damaged](const ManifestEntry& file) -> std::unique_ptr<EntrySink> {
            return std::make_unique<VerdictSink>(
                [&file, &damaged](const std::wstring& why, const platform::ContentDigest& digest) {
                  if (!why.empty()) return damaged(file.path, why);
                  if (digest.size != file.size || digest.sha256 != file.sha256) {
                    damaged(file.path, L"not the bytes the backup read");
                  }
                });
          },
          &cancelled, [&pump] { pump.Pump(); });
    }
    if (cancelled) break;
    if (!read.ok()) {
      for (const auto& left : wanted) damaged(left.first, read.context());
      continue;
    }
    for (const auto& left : wanted) damaged(left.first, L"the archive does not hold it");
  }
  CompareWithLiveTree(plan, &report, finding);
  return report;
}

}  // namespace kelvane
