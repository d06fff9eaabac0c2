// The folder target: every selected file copied below the target folder,
// keeping its path without the root separator.
#include <future>

#include "platform/file_system.h"
#include "run/backup_class.h"
#include "run/run_log.h"
#include "scan/scan_context.h"
#include "util/error_text.h"
#include "util/text_util.h"

namespace kelvane::vxstl {

uint32_t BackupClass::RunFolderTarget() {
  processedBytes = 0;
  std::future<uint32_t> task = std::async(std::launch::async, [this] { return CopyToFolderTask(); });
  return PumpingWait(task);
}

uint32_t BackupClass::CopyToFolderTask() {
  platform::FileSystem& fs = platform::Fs();
  for (const ScannedFolder& folder : scan->results) {
    if (cancelRequested) break;
    if (folder.files.empty()) continue;
    const std::wstring target = archivePath + folder.path.substr(StoredPathStart(folder.path));
    if (!fs.Exists(target)) {
      if (const int error = fs.CreateFolders(target); error != 0) {
        failureText = FormatText(L"Create Folder %s failed.%s", target,
                                 ErrorText(static_cast<uint32_t>(error)));
        ProcessLog().WriteLogLine(failureText);
        ++errorCount;
        result = static_cast<uint32_t>(error);
        return result;
      }
    }
    for (const ScannedFile& file : folder.files) {
      if (cancelRequested) break;
      const std::wstring targetFile = target + file.name;
      if (const int error = fs.CopyFile(folder.path + file.name, targetFile); error != 0) {
        ProcessLog().WriteLogFormat(L"Backup file %s failed.%s", targetFile,
                                    ErrorText(static_cast<uint32_t>(error)));
        ++errorCount;
      }
      processedBytes += file.size;
      ++processedFiles;
    }
  }
  return 0;
}

}  // namespace kelvane::vxstl
