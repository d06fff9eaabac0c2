// The lines of a backup's manifest: what the whole selected tree was when a
// run made its target, saved by that run or by an earlier one, and which
// archive holds each file's bytes. A restore follows it, a retention plan
// reads which archives a point needs, and other programs may read it: the
// format is versioned and only ever grows.
//
// JSON Lines in UTF-8: one header line, then one line per entry.
//   {"kelvane_manifest":1,"job":…,"archive":…,"id":…,"time":…,"kind":…,"base":…,
//    "check":…}
//   {"path":…,"type":"file","size":…,"mtime":…,"mtime_ns":…,"mode":"0644",
//    "uid":…,"gid":…,"user":…,"group":…,"xattrs":{…},"sparse":true,"sha256":…,
//    "archive":…,"archive_id":…}
// A folder has no size, digest or archive; a link has its "target" instead.
// A path or target whose bytes are not valid UTF-8 goes as "path64" or
// "target64", the bytes in standard Base64, so every line is valid JSON and
// every name comes back byte for byte. Members a reader does not know are
// ignored; members a writer has nothing for (a user without a name, a file
// whose archive recorded no digest) are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace kelvane {

inline constexpr int kManifestVersion = 1;

// Where a target keeps its manifest: the last entry ".kelvane/manifest.jsonl"
// of an archive, the same file at the top of a folder copy; and beside it,
// the target's name with this suffix.
inline constexpr wchar_t kManifestFolder[] = L".kelvane";
inline constexpr wchar_t kManifestFile[] = L"manifest.jsonl";
inline constexpr wchar_t kManifestSuffix[] = L".kvnman";
// In a folder copy's ".kelvane": the mark of an update under way.
inline constexpr wchar_t kUpdateMark[] = L"update-in-progress";

struct ManifestHeader {
  int version = kManifestVersion;
  std::string job;      // the job file's path, when known
  std::string archive;  // the target's name in its archive folder
  std::string id;       // random, told apart from an archive of the same name
  std::string time;     // when the run began, UTC, "2026-12-07T03:00:00Z"
  std::string kind;     // "full", "incremental" or "differential"
  std::string base;     // the archive an incremental or differential run builds on
  // Only beside the target, once its run read it back: "passed" or
  // "failed"; empty when nobody checked.
  std::string check;
};

struct ManifestEntry {
  enum class Type { kFile, kFolder, kLink };
  Type type = Type::kFile;
  std::string path;  // bytes, as stored: "/" between components, none at the end
  uint64_t size = 0;
  int64_t mtimeSeconds = 0;
  uint32_t mtimeNanoseconds = 0;
  uint32_t mode = 0;  // permission bits, 07777
  uint32_t uid = 0;
  uint32_t gid = 0;
  std::string user;  // names of uid and gid on the system that made the backup
  std::string group;
  std::string target;  // a link's target, as bytes
  // An archived file's extended attributes (as root, its ACLs too), each
  // value in Base64 under its name in "xattrs".
  platform::ExtendedAttributes attributes;
  bool sparse = false;  // a file with holes, which a restore makes again
  bool hasDigest = false;
  platform::Sha256Digest sha256{};
  std::string archive;  // the archive that holds a file's bytes, and its id
  std::string archiveId;
};

void AppendHeaderLine(const ManifestHeader& header, std::string* out);
void AppendEntryLine(const ManifestEntry& entry, std::string* out);

// Each reads one line without its line feed; false for a line that is not
// one (not JSON, a member of the wrong type, a type or digest not known).
bool ParseHeaderLine(std::string_view line, ManifestHeader* header);
bool ParseEntryLine(std::string_view line, ManifestEntry* entry);

// The Unix time of a header's "time" ("2026-12-07T03:00:00Z", or with an
// offset "+01:00"); none when it is not one.
std::optional<int64_t> ManifestTime(const std::string& text);

}  // namespace kelvane
