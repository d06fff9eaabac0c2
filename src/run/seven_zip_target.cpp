// The 7z target: the whole file list handed to the 7-Zip library at once.
#include <future>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "run/backup_class.h"
#include "log/run_log.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/text_util.h"

namespace kelvane::vxstl {

uint32_t BackupClass::RunSevenZipTarget() {
  using SevenZip::intl::FilePathInfoEx;
  std::vector<FilePathInfoEx> files;
  // Where each file of the list stands in the scan result.
  std::vector<std::pair<const ScannedFolder*, const ScannedFile*>> scanned;
  files.reserve(totalFiles);
  scanned.reserve(totalFiles);
  for (const ScannedFolder& folder : scan->results) {
    const size_t start = StoredPathStart(folder.path);
    for (const ScannedFile& file : folder.files) {
      files.push_back(FilePathInfoEx{file.name, file.lastWriteTime, file.creationTime,
                                     file.lastAccessTime, file.size, file.attributes, false,
                                     folder.path + file.name, start});
      scanned.emplace_back(&folder, &file);
    }
  }
  SevenZip::SevenZipUIUpdate record;
  record.level = static_cast<uint32_t>(compressionLevel);
  record.password = password;
  record.fileFailed = [this](const std::wstring& path, int error) {
    ProcessLog().WriteLogFormat(L"Backup file %s failed.%s", path,
                                ErrorText(static_cast<uint32_t>(error)));
    ++errorCount;
  };
  // The library asks for files from its own threads, in an order of its own.
  std::mutex sourcesLock;
  SourceOpener sources;  // guarded by sourcesLock
  record.openFile = [&](size_t index, std::unique_ptr<platform::FileStream>* stream) {
    std::lock_guard<std::mutex> hold(sourcesLock);
    return sources.Open(*scanned[index].first, *scanned[index].second, stream);
  };
  const std::wstring library = SevenZip::FindSevenZipLibrary(sevenZipLibrary);
  std::unique_ptr<platform::FileStream> archive;
  if (const int error = CreateWorkFile(&archive); error != 0) {
    throw std::runtime_error(WideToUtf8(FormatText(L"Create %s failed.%s", archivePath,
                                                   ErrorText(static_cast<uint32_t>(error)))));
  }

  // The library's counters feed the progress lines, and a stop request goes
  // back to the library, which then ends within a second or so.
  const auto progress = progressCallback;
  progressCallback = [&record, progress](BackupClass* run) {
    run->processedBytes = record.processedBytes.load();
    run->processedFiles = record.processedFiles.load();
    const bool goOn = !progress || progress(run);
    if (!goOn) record.stopRequested = true;
    return goOn;
  };
  std::future<uint32_t> task = std::async(std::launch::async, [&] {
    return SevenZip::PackWithSevenZip(&record, library, archivePath, std::move(archive), files);
  });
  const uint32_t code = PumpingWait(task);
  progressCallback = progress;
  processedBytes = record.processedBytes.load();
  processedFiles = record.processedFiles.load();
  if (code != 0) {
    // A stop the user asked for is a cancel, not a failure of the writer.
    if (record.stopRequested) return 0;
    throw std::runtime_error(record.errorText);
  }
  return 0;
}

}  // namespace kelvane::vxstl
