#include "run/manifest_file.h"

#include <cerrno>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "run/trusted_file.h"
#include "scan/change_catalog.h"

namespace kelvane {
namespace {

// A path, a link target and the rest of a line, with room to spare.
constexpr size_t kLongestLine = 1u << 20;

}  // namespace

std::optional<bool> ManifestListsFiles(const platform::Folder& archiveFolder,
                                       const std::vector<platform::DirectoryEntry>& entries,
                                       const std::wstring& targetName) {
  std::unique_ptr<platform::FileStream> stream;
  if (!OpenTrustedFile(archiveFolder, entries, targetName + kManifestSuffix, &stream).ok()) {
    return std::nullopt;
  }
  bool first = true;
  bool lists = false;
  int error = 0;
  const platform::Status read = ReadEachLine(
      *stream, kLongestLine,
      [&](std::string_view line) {
        ManifestHeader header;
        ManifestEntry entry;
        const bool good = first ? ParseHeaderLine(line, &header) : ParseEntryLine(line, &entry);
        lists = !first && good && entry.type != ManifestEntry::Type::kFolder;
        first = false;
        // The first file is the answer: reading stops there.
        return good && !lists ? platform::Status() : platform::Status::Error(ECANCELED, L"");
      },
      &error);
  if (lists) return true;
  if (!read.ok()) return std::nullopt;
  return false;
}

std::optional<int64_t> NewestFullBackup(const platform::Folder& archiveFolder,
                                        const std::vector<platform::DirectoryEntry>& entries,
                                        const std::function<bool(const std::wstring&)>& isTarget) {
  std::optional<int64_t> newest;
  for (const platform::DirectoryEntry& target : entries) {
    if (target.error != 0 || !isTarget(target.name)) continue;
    std::unique_ptr<platform::FileStream> stream;
    if (!OpenTrustedFile(archiveFolder, entries, target.name + kManifestSuffix, &stream).ok()) {
      continue;
    }
    ManifestHeader header;
    int error = 0;
    (void)ReadEachLine(
        *stream, kLongestLine,
        [&header](std::string_view line) {
          (void)ParseHeaderLine(line, &header);
          return platform::Status::Error(ECANCELED, L"");  // the header is all it takes
        },
        &error);
    const std::optional<int64_t> time = ManifestTime(header.time);
    if (header.kind == "full" && time && (!newest || *time > *newest)) newest = time;
  }
  return newest;
}

std::string KeptFileLines(const platform::Folder& archiveFolder, const ChangeCatalog& catalog,
                          const ManifestHeader& header, RunLog& log, std::wstring* base) {
  // The stored paths each archive is asked for: the catalog's full paths
  // without the root separator.
  std::unordered_map<std::wstring, std::unordered_set<std::string>> wanted;
  catalog.ForEachConfirmed([&wanted](const std::string& path, const std::wstring& target) {
    wanted[target].insert(path.substr(path.starts_with('/') ? 1 : 0));
  });
  base->clear();
  // A folder copy updated in place builds on nothing but itself.
  for (const std::wstring& target : catalog.targets()) {
    if (wanted.contains(target) && platform::ToUtf8(target) != header.archive) *base = target;
  }
  std::vector<platform::DirectoryEntry> entries;
  if (!wanted.empty()) (void)platform::Fs().ReadDirectory(archiveFolder, &entries);
  std::string lines;
  for (auto& item : wanted) {
    const std::wstring& target = item.first;
    std::unordered_set<std::string>& paths = item.second;
    const std::wstring name = target + kManifestSuffix;
    std::unique_ptr<platform::FileStream> stream;
    platform::Status read = OpenTrustedFile(archiveFolder, entries, name, &stream);
    int error = 0;
    bool first = true;
    if (read.ok()) {
      read = ReadEachLine(
          *stream, kLongestLine,
          [&](std::string_view line) {
            ManifestHeader theirs;
            ManifestEntry entry;
            if (first) {
              first = false;
              return ParseHeaderLine(line, &theirs) ? platform::Status()
                                                    : platform::Status::Error(EINVAL, L"no header");
            }
            if (!ParseEntryLine(line, &entry)) return platform::Status::Error(EINVAL, L"a line");
            if (entry.type == ManifestEntry::Type::kFolder || paths.erase(entry.path) == 0) {
              return platform::Status();
            }
            if (entry.archive == header.archive) {
              entry.archiveId = header.id;
              AppendEntryLine(entry, &lines);
            } else {
              lines.append(line).push_back('\n');
            }
            return platform::Status();
          },
          &error);
    }
    if (!read.ok()) {
      log.WriteLogFormat(L"Manifest %s%s %s%s.", archiveFolder.path(), name,
                         error != 0 || read.code() != EINVAL ? L"" : L"is damaged: ",
                         read.context());
    }
    if (!paths.empty()) {
      log.WriteLogFormat(
          L"Manifest %s%s does not list %lu unchanged files it holds: they are "
          L"not in this run's manifest.",
          archiveFolder.path(), name, paths.size());
    }
  }
  return lines;
}

}  // namespace kelvane
