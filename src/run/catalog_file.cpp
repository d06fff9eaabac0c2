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
#include "run/trusted_file.h"
#include "scan/change_catalog.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

// The longest line a catalog of this program writes: a path escaped, four
// bytes for each of its own, with room to spare.
constexpr size_t kLongestLine = 16u << 20;

}  // namespace

size_t LoadCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                   const std::wstring& replacedTarget, ChangeCatalog* catalog, RunLog& log) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring name = outputs.CatalogName();
  const std::wstring path = archiveFolder.path() + name;
  auto fullRun = [&log, &path](const std::wstring& why) {
    log.WriteLogFormat(L"Change catalog %s %s: every file counts as changed.", path, why);
    return size_t{0};
  };
  std::vector<platform::DirectoryEntry> entries;
  if (const int error = fs.ReadDirectory(archiveFolder, &entries).code(); error != 0) {
    return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  }
  std::unique_ptr<platform::FileStream> stream;
  if (const platform::Status opened = OpenTrustedFile(archiveFolder, entries, name, &stream);
      !opened.ok()) {
    return fullRun(opened.context());
  }
  int error = 0;
  platform::Status damage;
  try {
    catalog->BeginParse();
    damage = ReadEachLine(
        *stream, kLongestLine,
        [catalog](std::string_view line) { return catalog->ParseLine(line); }, &error);
    if (damage.ok()) damage = catalog->EndParse();
  } catch (const std::bad_alloc&) {
    catalog->BeginParse();
    damage = platform::Status::Error(ENOMEM, L"more than fits in memory");
  }
  if (error != 0) return fullRun(damage.context());
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
  const std::vector<std::wstring> dropped = catalog->DropTargets(kept);
  for (const std::wstring& target : dropped) {
    const bool isForeign = std::find(foreign.begin(), foreign.end(), target) != foreign.end();
    log.WriteLogFormat(L"Change catalog: the files saved in %s%s count as changed again (%s).",
                       archiveFolder.path(), target,
                       target == replacedTarget ? L"replaced by this run"
                       : isForeign              ? L"not made by root or this user"
                                                : L"no longer there");
  }
  return dropped.size();
}

namespace {

int SaveText(const platform::Folder& archiveFolder, const OutputNames& outputs,
             const std::function<void(const ChangeCatalog::TextWriter&)>& text) {
  const std::wstring name = outputs.CatalogName();
  return platform::WriteWholeFile(archiveFolder, L"." + name, archiveFolder, name,
                                  [&text](platform::FileStream& file) {
                                    int error = 0;
                                    text([&](std::string_view piece) {
                                      error = file.Write(piece.data(), piece.size());
                                      return error == 0;
                                    });
                                    return error;
                                  })
      .code();
}

}  // namespace

int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                const ChangeCatalog& catalog) {
  return SaveText(archiveFolder, outputs,
                  [&catalog](const ChangeCatalog::TextWriter& write) { catalog.WriteText(write); });
}

int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                ChangeCatalog& catalog, const ChangeCatalog::SavedFiles& saved,
                const std::wstring& target) {
  return SaveText(archiveFolder, outputs, [&](const ChangeCatalog::TextWriter& write) {
    catalog.WriteTextWith(saved, target, write);
  });
}

}  // namespace kelvane
