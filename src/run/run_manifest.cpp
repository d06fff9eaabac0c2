#include "run/run_manifest.h"

#include <memory>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/random_bytes.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/manifest_spool.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"

namespace kelvane {
namespace {

using Type = ManifestEntry::Type;

// Each id's name is asked of the system once per manifest.
class AccountNames {
 public:
  const std::string& User(uint32_t uid) { return Find(users_, uid, platform::UserName); }
  const std::string& Group(uint32_t gid) { return Find(groups_, gid, platform::GroupName); }

 private:
  using Cache = std::unordered_map<uint32_t, std::string>;
  static const std::string& Find(Cache& cache, uint32_t id, std::string (*lookUp)(uint32_t)) {
    auto found = cache.find(id);
    if (found == cache.end()) found = cache.emplace(id, lookUp(id)).first;
    return found->second;
  }
  Cache users_;
  Cache groups_;
};

// FILETIME ticks (100 ns since 1601) as Unix seconds and nanoseconds.
void SetTime(uint64_t ticks, ManifestEntry* entry) {
  constexpr int64_t kUnixEpoch = 116444736000000000;
  const int64_t since = static_cast<int64_t>(ticks) - kUnixEpoch;
  int64_t seconds = since / 10000000;
  int64_t rest = since % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  entry->mtimeSeconds = seconds;
  entry->mtimeNanoseconds = static_cast<uint32_t>(rest * 100);
}

// A link's target as the target holds it: read again, and believed only
// when its digest is the one of the bytes saved.
bool ReadSavedTarget(SourceOpener& sources, const ScannedFolder& folder, const ScannedFile& file,
                     const platform::ContentDigest& saved, std::string* target) {
  std::unique_ptr<platform::FileStream> stream;
  if (sources.Open(folder, file, &stream) != 0) return false;
  target->assign(saved.size, '\0');
  size_t got = 0;
  return saved.size <= (1u << 16) && stream->Read(target->data(), target->size(), &got) == 0 &&
         got == target->size() && platform::DigestOf(*target) == saved;
}

}  // namespace

platform::Status WriteManifest(const ManifestHeader& header, const vxstl::BackupClass& run,
                               std::string_view keptLines, ManifestSpool& spool) {
  std::string text;
  AppendHeaderLine(header, &text);
  AccountNames names;
  SourceOpener sources;
  auto owned = [&names](uint32_t uid, uint32_t gid, ManifestEntry* entry) {
    entry->uid = uid;
    entry->gid = gid;
    entry->user = names.User(uid);
    entry->group = names.Group(gid);
  };
  size_t number = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    const std::string stored =
        platform::ToNative(folder.path.substr(vxstl::StoredPathStart(folder.path)));
    if (!stored.empty()) {
      ManifestEntry entry;
      entry.type = Type::kFolder;
      entry.path = stored.substr(0, stored.size() - 1);
      SetTime(folder.lastWriteTime, &entry);
      entry.mode = (folder.attributes >> 16) & 07777;
      owned(folder.owner, folder.group, &entry);
      AppendEntryLine(entry, &text);
    }
    for (const ScannedFile& file : folder.files) {
      const vxstl::SavedFile& saved = run.savedFiles[number++];
      if (!saved.taken || run.HasFailed(file)) continue;
      const platform::FileStatus& status = saved.status;
      ManifestEntry entry;
      entry.type = status.link ? Type::kLink : Type::kFile;
      entry.path = stored + std::string(folder.NativeName(file));
      entry.size = saved.digest.size;
      entry.mtimeSeconds = status.modifiedSeconds;
      entry.mtimeNanoseconds = status.modifiedNanoseconds;
      entry.mode = status.mode & 07777;
      entry.sparse = status.sparse;
      owned(status.owner, status.group, &entry);
      if (entry.type == Type::kLink &&
          !ReadSavedTarget(sources, folder, file, saved.digest, &entry.target)) {
        continue;
      }
      entry.attributes = run.SavedAttributes(number - 1);
      entry.hasDigest = true;
      entry.sha256 = saved.digest.sha256;
      entry.archive = header.archive;
      entry.archiveId = header.id;
      AppendEntryLine(entry, &text);
    }
    // A folder at a time, so what waits in memory stays small.
    if (platform::Status written = spool.Append(text); !written.ok()) return written;
    text.clear();
  }
  if (platform::Status written = spool.Append(keptLines); !written.ok()) return written;
  return spool.Finish();
}

std::string NewArchiveId() {
  platform::Sha256Digest bytes{};
  // Without the system's random source the time still tells runs apart.
  if (platform::RandomBytes(bytes.data(), 16) != 0) {
    bytes = platform::DigestOf(std::to_string(platform::Time().WallSeconds()) + ":" +
                               std::to_string(platform::Time().MonotonicMicros()))
                .sha256;
  }
  return platform::HexText(bytes).substr(0, 32);
}

}  // namespace kelvane
