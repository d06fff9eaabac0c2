#include "run/seven_zip_target.h"

#include <future>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "archive/sevenzip/seven_zip_entry_reader.h"
#include "log/run_log.h"
#include "platform/file_attributes.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/entry_check.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/format_text.h"

namespace kelvane {

using vxstl::BackupClass;

namespace {

using SevenZip::intl::FilePathInfoEx;
// Where each item of the list stands in the scan result (a folder's own
// item has no file).
using ScannedPlaces = std::vector<std::pair<const ScannedFolder*, const ScannedFile*>>;

// The library's list of items: each saved folder's own, with its mode and
// times (the include folder "/" has none), and its files and links; a link
// is its mode (S_IFLNK) and its target's text, as 7-Zip's own -snl stores it,
// with no Windows reparse point. Returns the number of folder items.
size_t ListItems(const BackupClass& run, std::vector<FilePathInfoEx>* items,
                 ScannedPlaces* places) {
  items->reserve(run.totalFiles);
  places->reserve(run.totalFiles);
  size_t folders = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    const size_t start = vxstl::StoredPathStart(folder.path);
    if (folder.path.size() > start) {
      const std::wstring path = folder.path.substr(0, folder.path.size() - 1);
      items->push_back(FilePathInfoEx{path.substr(path.rfind(L'/') + 1), folder.lastWriteTime,
                                      folder.lastWriteTime, folder.lastAccessTime, 0,
                                      folder.attributes & ~platform::kAttributeReparsePoint, true,
                                      path, start});
      places->emplace_back(&folder, nullptr);
      ++folders;
    }
    for (const ScannedFile& file : folder.files) {
      const std::wstring name = folder.Name(file);
      items->push_back(FilePathInfoEx{
          name, file.lastWriteTime, file.creationTime, file.lastAccessTime, file.size,
          file.attributes & ~platform::kAttributeReparsePoint, false, folder.path + name, start});
      places->emplace_back(&folder, &file);
    }
  }
  return folders;
}

}  // namespace

uint32_t SevenZipTarget::Write(BackupClass& run) {
  std::vector<FilePathInfoEx> files;
  ScannedPlaces scanned;
  const size_t folders = ListItems(run, &files, &scanned);
  SevenZip::SevenZipUIUpdate record;
  record.level = static_cast<uint32_t>(run.compressionLevel);
  record.password = run.password;
  record.fileFailed = [&run, &scanned](size_t index, const std::wstring& path, int error) {
    run.log.WriteLogFormat(L"Backup file %s failed.%s", path,
                           ErrorText(static_cast<uint32_t>(error)));
    ++run.errorCount;
    run.FileFailed(*scanned[index].second);
  };
  // The library asks for files from its own threads, in an order of its own.
  std::mutex sourcesLock;
  SourceOpener sources;  // guarded by sourcesLock
  record.openFile = [&](size_t index, std::unique_ptr<platform::FileStream>* stream) {
    std::lock_guard<std::mutex> hold(sourcesLock);
    return sources.Open(*scanned[index].first, *scanned[index].second, stream);
  };
  const std::wstring library = SevenZip::FindSevenZipLibrary(library_);
  std::unique_ptr<platform::FileStream> archive;
  if (const int error = run.CreateWorkFile(&archive); error != 0) {
    throw std::runtime_error(platform::ToUtf8(FormatText(L"Create %s failed.%s", run.archivePath,
                                                         ErrorText(static_cast<uint32_t>(error)))));
  }

  // The library's counters feed the progress lines, and a stop request goes
  // back to the library, which then ends within a second or so.
  const auto progress = run.progressCallback;
  run.progressCallback = [&record, progress](BackupClass* counted) {
    counted->processedBytes = record.processedBytes.load();
    counted->processedFiles = record.processedFiles.load();
    const bool goOn = !progress || progress(counted);
    if (!goOn) record.stopRequested = true;
    return goOn;
  };
  std::future<uint32_t> task = std::async(std::launch::async, [&] {
    return SevenZip::PackWithSevenZip(&record, library, run.archivePath, std::move(archive), files);
  });
  const uint32_t code = run.PumpingWait(task);
  run.progressCallback = progress;
  run.processedBytes = record.processedBytes.load();
  run.processedFiles = record.processedFiles.load();
  // The library asks for no stream of an empty file: a complete archive has
  // them all.
  if (code == 0 && !record.stopRequested) {
    run.processedFiles = static_cast<uint32_t>(files.size() - folders);
    run.processedBytes = run.totalBytes;
  }
  if (code != 0) {
    // A stop the user asked for is a cancel, not a failure of the writer.
    if (record.stopRequested) return 0;
    throw std::runtime_error(record.errorText);
  }
  return 0;
}

bool SevenZipTarget::HoldsFiles(const platform::Folder&, const platform::DirectoryEntry& entry) {
  return entry.size > 32;
}

TargetCheck SevenZipTarget::Verify(BackupClass& run) {
  EntryCheck entries(run);
  std::wstring unreadable;
  std::future<uint32_t> task = std::async(std::launch::async, [&] {
    std::unique_ptr<platform::FileStream> archive;
    if (const int error = run.OpenWorkFile(&archive); error != 0) {
      unreadable = L"cannot be opened." + ErrorText(static_cast<uint32_t>(error));
      return 0u;
    }
    SevenZip::SevenZipEntryReader reader(SevenZip::FindSevenZipLibrary(library_), run.password);
    // The library's own words say what is wrong with the archive.
    platform::Status read = reader.Open(std::move(archive), &run.cancelRequested);
    if (read.ok()) read = reader.ReadAll(CheckReading(entries, run.cancelRequested));
    if (!read.ok()) unreadable = read.context();
    return 0u;
  });
  run.PumpingWait(task);
  return entries.Finish(unreadable);
}

}  // namespace kelvane
