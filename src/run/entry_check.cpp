#include "run/entry_check.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/manifest_spool.h"
#include "scan/scan_context.h"

namespace kelvane {

namespace {

uint64_t HashOf(std::string_view name) { return std::hash<std::string_view>()(name); }

}  // namespace

EntryCheck::EntryCheck(vxstl::BackupClass& run) : run_(run) {
  const std::vector<ScannedFolder>& folders = run.scan->results;
  folderNames_.reserve(folders.size());
  firstNumber_.reserve(folders.size());
  size_t number = 0;
  std::string name;
  for (const ScannedFolder& folder : folders) {
    const auto index = static_cast<uint32_t>(folderNames_.size());
    folderNames_.push_back(
        platform::ToNative(folder.path.substr(vxstl::StoredPathStart(folder.path))));
    firstNumber_.push_back(number);
    for (uint32_t file = 0; file < folder.files.size(); ++file) {
      name = folderNames_.back();
      name += folder.NativeName(folder.files[file]);
      places_.push_back({HashOf(name), index, file});
    }
    number += folder.files.size();
  }
  std::sort(places_.begin(), places_.end(),
            [](const Place& a, const Place& b) { return a.hash < b.hash; });
  seen_.resize(number);
  ManifestSpool* spool = nullptr;
  if (run.manifest && run.manifest(&spool).ok()) {
    manifestName_ = platform::ToNative(std::wstring(kManifestFolder) + L"/" + kManifestFile);
    manifestDigest_ = spool->digest();
  }
}

const ScannedFile* EntryCheck::Find(std::string_view name, size_t* number) const {
  const uint64_t hash = HashOf(name);
  auto at =
      std::lower_bound(places_.begin(), places_.end(), hash,
                       [](const Place& place, uint64_t wanted) { return place.hash < wanted; });
  for (; at != places_.end() && at->hash == hash; ++at) {
    const std::string& folderName = folderNames_[at->folder];
    const ScannedFolder& folder = run_.scan->results[at->folder];
    const ScannedFile& file = folder.files[at->file];
    if (name.starts_with(folderName) && name.substr(folderName.size()) == folder.NativeName(file)) {
      *number = firstNumber_[at->folder] + at->file;
      return &file;
    }
  }
  return nullptr;
}

void EntryCheck::Count(const std::string& name) {
  // The counts are of the user's files; the manifest is checked all the same.
  if (name == manifestName_) return;
  ++result_.checked;
  ++run_.verifiedFiles;
}

void EntryCheck::Failed(const std::string& name, const std::wstring& why) {
  run_.log.WriteLogFormat(L"Check of %s in %s failed: %s.", platform::FromNative(name),
                          run_.archivePath, why);
  ++result_.failed;
}

void EntryCheck::Good(const std::string& name, const platform::ContentDigest& digest) {
  std::lock_guard<std::mutex> hold(lock_);
  Count(name);
  if (!manifestName_.empty() && name == manifestName_) {
    if (manifestSeen_) return Failed(name, L"an entry that is there twice");
    manifestSeen_ = true;
    if (digest != manifestDigest_) Failed(name, L"the entry differs from what was read");
    return;
  }
  size_t number = 0;
  const ScannedFile* file = Find(name, &number);
  // A file that failed after its entry was begun may have one.
  const bool expected = file && !run_.HasFailed(*file) && run_.savedFiles[number].taken;
  if (!expected) {
    if (file) return;
    return Failed(name, L"an entry the run did not save");
  }
  if (seen_[number]) return Failed(name, L"an entry that is there twice");
  seen_[number] = true;
  if (digest != run_.savedFiles[number].digest) {
    Failed(name, L"the entry differs from what was read");
  }
}

void EntryCheck::Bad(const std::string& name, const std::wstring& why) {
  std::lock_guard<std::mutex> hold(lock_);
  Count(name);
  size_t number = 0;
  if (!manifestName_.empty() && name == manifestName_) {
    manifestSeen_ = true;
  } else if (Find(name, &number)) {
    seen_[number] = true;
  }
  Failed(name, why);
}

TargetCheck EntryCheck::Finish(std::wstring unreadable) {
  std::lock_guard<std::mutex> hold(lock_);
  result_.unreadable = std::move(unreadable);
  if (!result_.unreadable.empty()) return result_;
  size_t number = 0;
  for (size_t index = 0; index < folderNames_.size(); ++index) {
    const ScannedFolder& folder = run_.scan->results[index];
    for (const ScannedFile& file : folder.files) {
      if (!seen_[number] && !run_.HasFailed(file) && run_.savedFiles[number].taken) {
        Failed(folderNames_[index] + std::string(folder.NativeName(file)),
               L"saved, but not in the archive");
      }
      ++number;
    }
  }
  if (!manifestName_.empty() && !manifestSeen_) {
    Failed(manifestName_, L"saved, but not in the archive");
  }
  return result_;
}

EntryReading CheckReading(EntryCheck& check, const std::atomic<bool>& stop) {
  EntryReading reading;
  reading.sinkFor = [&check](const ArchiveEntry& entry) -> std::unique_ptr<EntrySink> {
    // A folder's entry has no bytes to check.
    if (entry.type == EntryType::kFolder) return nullptr;
    return std::make_unique<VerdictSink>(
        [&check, name = entry.name](const std::wstring& why,
                                    const platform::ContentDigest& digest) {
          if (why.empty()) {
            check.Good(name, digest);
          } else {
            check.Bad(name, why);
          }
        });
  };
  reading.stop = &stop;
  return reading;
}

}  // namespace kelvane
