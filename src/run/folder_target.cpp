#include "run/folder_target.h"

// Everything below the archive folder is made and written through open
// folders and never through a symbolic link, so nothing planted in the
// target tree can send a copy elsewhere. The folders are made for their owner
// only: a folder of someone else's that nobody else could enter stays closed
// in the copy. Each copy is written as a temporary file in the top folder of
// the target and renamed into place, so a killed run's leftovers are all in
// one folder, where the next run removes them.
#include <future>

#include "log/run_log.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "run/backup_class.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

// Opens (making what is missing) the folders of `relative`, a path of at
// least one component ending in the separator, one below the other from
// `base`.
int MakeFolders(const platform::Folder& base, const std::wstring& relative,
                platform::Folder* folder) {
  const platform::Folder* parent = &base;
  for (size_t start = 0; start < relative.size();) {
    size_t end = relative.find(platform::kPathSeparator, start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      platform::Folder next;
      if (const int error =
              platform::Fs().MakeFolder(*parent, relative.substr(start, end - start), &next);
          error != 0) {
        return error;
      }
      *folder = std::move(next);
      parent = folder;
    }
    start = end + 1;
  }
  return 0;
}

}  // namespace

uint32_t FolderTarget::Write(vxstl::BackupClass& run) {
  run.processedBytes = 0;
  std::future<uint32_t> task =
      std::async(std::launch::async, [&run] { return CopyToFolderTask(run); });
  return run.PumpingWait(task);
}

uint32_t FolderTarget::CopyToFolderTask(vxstl::BackupClass& run) {
  platform::FileSystem& fs = platform::Fs();
  auto folderFailed = [&run](const std::wstring& path, int error) {
    run.failureText =
        FormatText(L"Create Folder %s failed.%s", path, ErrorText(static_cast<uint32_t>(error)));
    run.log.WriteLogLine(run.failureText);
    ++run.errorCount;
    return static_cast<uint32_t>(error);
  };
  platform::Folder root;
  if (const int error = fs.MakeFolder(*run.archiveFolder, run.targetName, &root); error != 0) {
    return folderFailed(run.archivePath, error);
  }
  SourceOpener sources;
  for (const ScannedFolder& folder : run.scan->results) {
    if (run.cancelRequested) break;
    if (folder.files.empty()) continue;
    const std::wstring stored = folder.path.substr(vxstl::StoredPathStart(folder.path));
    // The files of an include folder "/" go into the top folder itself.
    platform::Folder made;
    const platform::Folder* target = &root;
    if (!stored.empty()) {
      if (const int error = MakeFolders(root, stored, &made); error != 0) {
        return folderFailed(run.archivePath + stored, error);
      }
      target = &made;
    }
    const platform::Folder* source = nullptr;
    const int sourceError = sources.Enter(folder, &source);
    for (const ScannedFile& file : folder.files) {
      if (run.cancelRequested) break;
      const std::wstring name = folder.Name(file);
      const int error =
          sourceError != 0 ? sourceError : fs.CopyFile(*source, name, file.id, *target, name, root);
      if (error != 0) {
        run.log.WriteLogFormat(L"Backup file %s failed.%s", run.archivePath + stored + name,
                               ErrorText(static_cast<uint32_t>(error)));
        ++run.errorCount;
        run.FileFailed(file);
      }
      run.processedBytes += file.size;
      ++run.processedFiles;
    }
  }
  return 0;
}

}  // namespace kelvane
