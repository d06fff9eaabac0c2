#include "run/catalog_file.h"

#include <memory>
#include <vector>

#include "log/run_log.h"
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

int ReadWhole(platform::FileStream& stream, std::string* text) {
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if (const int error = stream.Read(buffer, sizeof buffer, &got); error != 0) return error;
    if (got == 0) return 0;
    text->append(buffer, got);
  }
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
  if (const int error = fs.ReadDirectory(archiveFolder, &entries); error != 0) {
    return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  }
  const platform::DirectoryEntry* file = nullptr;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name == name) file = &entry;
  }
  if (!file) return fullRun(L"not found");
  if (!IsPlainFile(*file)) return fullRun(L"is not a plain file");
  std::unique_ptr<platform::FileStream> stream;
  std::string text;
  int error = fs.OpenFile(archiveFolder, name, file->id, &stream);
  if (error == 0) error = ReadWhole(*stream, &text);
  if (error != 0) return fullRun(L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  if (const std::string damage = catalog->Parse(text); !damage.empty()) {
    return fullRun(L"is damaged (" + platform::FromNative(damage) + L")");
  }

  // Only a backup that is still there holds what the catalog says it holds.
  auto kept = [&](const std::wstring& target) {
    if (target == replacedTarget || !outputs.IsTarget(target)) return false;
    for (const platform::DirectoryEntry& entry : entries) {
      if (entry.name == target) {
        return outputs.isFolderTarget() ? IsPlainFolder(entry) : IsPlainFile(entry);
      }
    }
    return false;
  };
  for (const std::wstring& target : catalog->DropTargets(kept)) {
    log.WriteLogFormat(L"Change catalog: the files saved in %s%s count as changed again (%s).",
                       archiveFolder.path(), target,
                       target == replacedTarget ? L"replaced by this run" : L"no longer there");
  }
}

int SaveCatalog(const platform::Folder& archiveFolder, const OutputNames& outputs,
                const ChangeCatalog& catalog) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring name = outputs.CatalogName();
  std::wstring work;
  std::unique_ptr<platform::FileStream> stream;
  if (const int error = fs.CreateTemporary(archiveFolder, L"." + name, &work, &stream);
      error != 0) {
    return error;
  }
  const std::string text = catalog.Text();
  int error = stream->Write(text.data(), text.size());
  if (error == 0) error = stream->Sync();
  if (const int closed = stream->Close(); error == 0) error = closed;
  if (error == 0) error = fs.Rename(archiveFolder, work, archiveFolder, name);
  if (error != 0) fs.RemoveFile(archiveFolder, work);
  return error;
}

}  // namespace kelvane
