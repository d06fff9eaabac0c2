// The ZIP target: every selected file packed into one archive, stored under
// its path without the root separator.
#include <exception>
#include <future>

#include "language/language_table.h"
#include "archive/zip/zip_archive.h"
#include "run/backup_class.h"
#include "run/run_host.h"
#include "log/run_log.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/result_codes.h"
#include "util/template_format.h"
#include "util/text_util.h"

namespace kelvane::vxstl {

uint32_t BackupClass::RunZipTarget() {
  processedBytes = 0;
  std::future<uint32_t> task = std::async(std::launch::async, [this] { return CopyToZipTask(); });
  const uint32_t code = PumpingWait(task);
  if (code == kResultArchiveNotCreated) {
    host.ShowMessage(PrintFEx(texts.GetText(L"open_archive_failed"), {archivePath}), true);
  }
  return code;
}

uint32_t BackupClass::OpenZipTarget() {
  if (targetType != 1) return 0;
  // The password's UTF-8 bytes: what unzip -P and 7z -p use on Linux.
  const std::string passwordBytes = WideToUtf8(password);
  std::unique_ptr<platform::FileStream> archive;
  int error = CreateWorkFile(&archive);
  if (error == 0) {
    zipArchive = ZipCreateArchive(std::move(archive), passwordBytes, compressionLevel, &error);
  }
  if (!zipArchive) {
    // Also the user's: the log of an aborted run is removed, and when the
    // archive's folder cannot be made, the log could not be written either.
    failureText = FormatText(L"Create %s failed, Code %ld", archivePath, static_cast<long>(error));
    ProcessLog().WriteLogLine(failureText);
    return kResultArchiveNotCreated;
  }
  return 0;
}

uint32_t BackupClass::CopyToZipTask() {
  try {
    if (OpenZipTarget() != 0) {
      ++errorCount;
      result = kResultArchiveNotCreated;
      return result;
    }
    SourceOpener sources;
    for (const ScannedFolder& folder : scan->results) {
      if (cancelRequested) break;
      const size_t start = StoredPathStart(folder.path);
      for (const ScannedFile& file : folder.files) {
        if (cancelRequested) break;
        const std::wstring path = folder.path + file.name;
        // Opened before its entry is made, so a file that vanished or was
        // swapped since the scan leaves no trace in the archive.
        std::unique_ptr<platform::FileStream> source;
        auto error = static_cast<uint32_t>(sources.Open(folder, file, &source));
        if (error == 0 && !ZipAddFile(zipArchive, *source, path.substr(start))) {
          error = static_cast<uint32_t>(ZipLastError(zipArchive));
        }
        if (error != 0) {
          ProcessLog().WriteLogFormat(L"Backup file %s failed.%s", path, ErrorText(error));
          ++errorCount;
          if (ZipArchiveBroken(zipArchive)) {
            // The archive file itself cannot be written (a full disk): nothing
            // more can go in, and this archive must not replace an older one.
            failureText = FormatText(L"Write %s failed.%s", archivePath, ErrorText(error));
            ProcessLog().WriteLogLine(failureText);
            ZipCloseArchive(zipArchive);
            zipArchive = nullptr;
            result = error;
            return result;
          }
        }
        processedBytes += file.size;
        ++processedFiles;
      }
    }
    const int closed = ZipCloseArchive(zipArchive);
    zipArchive = nullptr;
    if (closed != 0) {
      failureText = FormatText(L"Write %s failed.%s", archivePath,
                               ErrorText(static_cast<uint32_t>(closed)));
      ProcessLog().WriteLogLine(failureText);
      result = static_cast<uint32_t>(closed);
      return result;
    }
    return 0;
  } catch (const std::exception& e) {
    exceptionText = FormatText(L"Abgefangene Exception: Grund: %S", std::string(e.what()));
    ProcessLog().WriteLogLine(exceptionText);
    // The aborted run removes its log, so the user is told directly too.
    failureText = exceptionText;
    ++errorCount;
    // Closed so the file can go; the run driver removes the temporary archive.
    ZipCloseArchive(zipArchive);
    zipArchive = nullptr;
    result = 1;
    return result;
  }
}

}  // namespace kelvane::vxstl
