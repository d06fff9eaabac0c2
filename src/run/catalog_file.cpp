#include "run/catalog_file.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "log/run_log.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "run/output_names.h"
#include "scan/change_catalog.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

constexpr uint32_t kNotPlain = platform::kAttributeReparsePoint | platform::kAttributeDevice;

bool IsPlainFile(const platform::DirectoryEntry& entry) {
  return entry.error == 0 && (entry.attributes & (kNotPlain | platform::kAttributeDirectory)) == 0;
}

bool IsPlainFolder(const platform::DirectoryEntry& entry) {
  return entry.error == 0 && (entry.attributes & platform::kAttributeDirectory) &&
         !(entry.attributes & kNotPlain);
}

// The longest line a catalog of this program writes: a path escaped, four
// bytes for each of its own, with room to spare.
constexpr size_t kLongestLine = 16u << 20;

// Reads the catalog a line at a time into `catalog`; a failure says what is
// wrong with it (`*error` for a read that failed).
platform::Status ReadLines(platform::FileStream& stream, ChangeCatalog* catalog, int* error) {
  auto damaged = [](const wchar_t* why) { return platform::Status::Error(EINVAL, why); };
  catalog->BeginParse();
  std::string line;
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if ((*error = stream.Read(buffer, sizeof buffer, &got)) != 0) return damaged(L"cannot be read");
    if (got == 0) break;
    for (std::string_view rest(buffer, got); !rest.empty();) {
      const size_t end = rest.find('\n');
      line.append(rest.substr(0, end));
      if (line.size() > kLongestLine) return damaged(L"a line longer than any it writes");
      if (end == std::string_view::npos) break;
      if (platform::Status damage = catalog->ParseLine(line); !damage.ok()) return damage;
      line.clear();
      rest.remove_prefix(end + 1);
    }
  }
  if (!line.empty()) return damaged(L"cut off");
  return catalog->EndParse();
}

}  // namespace

void LoadCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                 const std::wstring& replacedTarget, ChangeCatalog* catalog, RunLog& log) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring name = outputs.CatalogName();
  const std::wstring path = archiveFolder.path() + name;
  auto fullRun = [&log, &path](const std::wstring& why) {
    log.WriteLogFormat(L"Change catalog %s %s: every file counts as changed.", path, why);
  };
  std::vector<platform::DirectoryEntry> entries;
  if (const int error = fs.ReadDirectory(archiveFolder, &entries).code(); error != 0) {
    return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  }
  const platform::DirectoryEntry* file = nullptr;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name == name) file = &entry;
  }
  if (!file) return fullRun(L"not found");
  if (!IsPlainFile(*file)) return fullRun(L"is not a plain file");
  // A catalog decides what is left out of a backup: one that another user
  // could have written or planted (a folder others may write to) is not
  // believed.
  platform::DirectoryEntry folder;
  if (!fs.DescribeFolder(archiveFolder, &folder).ok() || !platform::OnlyTrustedCanWrite(folder)) {
    return fullRun(L"lies in a folder other users may write to");
  }
  if (!platform::OnlyTrustedCanWrite(*file))
    return fullRun(L"may have been written by another user");
  const uint64_t memory = platform::PhysicalMemoryBytes();
  if (memory != 0 && file->size > memory / 4) {
    return fullRun(L"is larger than this machine can read");
  }
  std::unique_ptr<platform::FileStream> stream;
  int error = fs.OpenFile(archiveFolder, name, file->id, &stream).code();
  if (error != 0) return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  platform::Status damage;
  try {
    damage = ReadLines(*stream, catalog, &error);
  } catch (const std::bad_alloc&) {
    catalog->BeginParse();
    damage = platform::Status::Error(ENOMEM, L"more than fits in memory");
  }
  if (error != 0) return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  if (!damage.ok()) return fullRun(L"is damaged (" + damage.context() + L")");

  // Only a backup that is still there, and that only root or this user can
  // have made, holds what the catalog says it holds.
  std::vector<std::wstring> foreign;
  auto kept = [&](const std::wstring& target) {
    if (target == replacedTarget || !outputs.IsTarget(target)) return false;
    for (const platform::DirectoryEntry& entry : entries) {
      if (entry.name != target) continue;
      if (!(outputs.isFolderTarget() ? IsPlainFolder(entry) : IsPlainFile(entry))) return false;
      if (platform::OnlyTrustedCanWrite(entry)) return true;
      foreign.push_back(target);
      return false;
    }
    return false;
  };
  for (const std::wstring& target : catalog->DropTargets(kept)) {
    const bool isForeign = std::find(foreign.begin(), foreign.end(), target) != foreign.end();
    log.WriteLogFormat(L"Change catalog: the files saved in %s%s count as changed again (%s).",
                       archiveFolder.path(), target,
                       target == replacedTarget ? L"replaced by this run"
                       : isForeign              ? L"not made by root or this user"
                                                : L"no longer there");
  }
}

int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                const ChangeCatalog& catalog) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring name = outputs.CatalogName();
  std::wstring work;
  std::unique_ptr<platform::FileStream> stream;
  if (const int error = fs.CreateTemporary(archiveFolder, L"." + name, &work, &stream).code();
      error != 0) {
    return error;
  }
  const std::string text = catalog.Text();
  int error = stream->Write(text.data(), text.size());
  if (error == 0) error = stream->Sync();
  if (const int closed = stream->Close(); error == 0) error = closed;
  if (error == 0) error = fs.Rename(archiveFolder, work, archiveFolder, name).code();
  // The write's error is the one said; the next run sweeps what stays.
  if (error != 0) static_cast<void>(fs.RemoveFile(archiveFolder, work));
  return error;
}

}  // namespace kelvane
