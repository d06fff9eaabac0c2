#include "run/entry_check.h"

#include <utility>

#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/manifest_spool.h"
#include "scan/scan_context.h"

namespace kelvane {

EntryCheck::EntryCheck(vxstl::BackupClass& run) : run_(run) {
  size_t number = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    const std::string stored =
        platform::ToNative(folder.path.substr(vxstl::StoredPathStart(folder.path)));
    for (const ScannedFile& file : folder.files) {
      const vxstl::SavedFile& saved = run.savedFiles[number++];
      std::string name = stored + std::string(folder.NativeName(file));
      if (run.HasFailed(file) || !saved.taken) {
        failed_.insert(std::move(name));
      } else {
        expected_.emplace(std::move(name), Expected{saved.content.digest});
      }
    }
  }
  ManifestSpool* spool = nullptr;
  if (run.manifest && run.manifest(&spool).ok()) {
    manifestName_ = platform::ToNative(std::wstring(kManifestFolder) + L"/" + kManifestFile);
    expected_.emplace(manifestName_, Expected{spool->digest()});
  }
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
  const auto found = expected_.find(name);
  if (found == expected_.end()) {
    if (failed_.count(name)) return;
    return Failed(name, L"an entry the run did not save");
  }
  if (found->second.seen) return Failed(name, L"an entry that is there twice");
  found->second.seen = true;
  if (digest != found->second.digest) Failed(name, L"the entry differs from what was read");
}

void EntryCheck::Bad(const std::string& name, const std::wstring& why) {
  std::lock_guard<std::mutex> hold(lock_);
  Count(name);
  const auto found = expected_.find(name);
  if (found != expected_.end()) found->second.seen = true;
  Failed(name, why);
}

TargetCheck EntryCheck::Finish(std::wstring unreadable) {
  std::lock_guard<std::mutex> hold(lock_);
  result_.unreadable = std::move(unreadable);
  if (result_.unreadable.empty()) {
    for (const auto& [name, expected] : expected_) {
      if (!expected.seen) Failed(name, L"saved, but not in the archive");
    }
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
