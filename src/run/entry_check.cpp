#include "run/entry_check.h"

#include <utility>

#include "log/run_log.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "scan/scan_context.h"

namespace kelvane {

EntryCheck::EntryCheck(vxstl::BackupClass& run) : run_(run) {
  for (const ScannedFolder& folder : run.scan->results) {
    const std::string stored =
        platform::ToNative(folder.path.substr(vxstl::StoredPathStart(folder.path)));
    for (const ScannedFile& file : folder.files) {
      std::string name = stored + std::string(folder.NativeName(file));
      if (run.HasFailed(file)) {
        failed_.insert(std::move(name));
      } else {
        expected_.emplace(std::move(name), false);
      }
    }
  }
}

void EntryCheck::Failed(const std::string& name, const std::wstring& why) {
  run_.log.WriteLogFormat(L"Check of %s in %s failed: %s.", platform::FromNative(name),
                          run_.archivePath, why);
  ++result_.failed;
}

void EntryCheck::Good(const std::string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  ++result_.checked;
  ++run_.verifiedFiles;
  const auto found = expected_.find(name);
  if (found == expected_.end()) {
    if (failed_.count(name)) return;
    return Failed(name, L"an entry the run did not save");
  }
  if (found->second) return Failed(name, L"an entry that is there twice");
  found->second = true;
}

void EntryCheck::Bad(const std::string& name, const std::wstring& why) {
  std::lock_guard<std::mutex> hold(lock_);
  ++result_.checked;
  ++run_.verifiedFiles;
  const auto found = expected_.find(name);
  if (found != expected_.end()) found->second = true;
  Failed(name, why);
}

TargetCheck EntryCheck::Finish(std::wstring unreadable) {
  std::lock_guard<std::mutex> hold(lock_);
  result_.unreadable = std::move(unreadable);
  if (result_.unreadable.empty()) {
    for (const auto& [name, seen] : expected_) {
      if (!seen) Failed(name, L"saved, but not in the archive");
    }
  }
  return result_;
}

EntryReading CheckReading(EntryCheck& check, const std::atomic<bool>& stop) {
  EntryReading reading;
  reading.sinkFor = [&check](const ArchiveEntry& entry) -> std::unique_ptr<EntrySink> {
    // A folder's entry has no bytes to check.
    if (entry.type == EntryType::kFolder) return nullptr;
    return std::make_unique<VerdictSink>([&check, name = entry.name](const std::wstring& why) {
      if (why.empty()) {
        check.Good(name);
      } else {
        check.Bad(name, why);
      }
    });
  };
  reading.stop = &stop;
  return reading;
}

}  // namespace kelvane
