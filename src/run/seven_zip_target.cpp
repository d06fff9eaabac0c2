#include "run/seven_zip_target.h"

#include <future>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "archive/sevenzip/seven_zip_entry_reader.h"
#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/clock.h"
#include "platform/file_attributes.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"
#include "run/backup_class.h"
#include "run/entry_check.h"
#include "run/manifest_spool.h"
#include "scan/scan_context.h"
#include "scan/source_opener.h"
#include "util/error_text.h"
#include "util/format_text.h"

namespace kelvane {

using vxstl::BackupClass;

namespace {

using SevenZip::intl::FilePathInfoEx;
// Where each item of the list stands in the scan result and which number its
// file has there (a folder's own item has no file, the manifest's items no
// place).
struct ScannedPlace {
  const ScannedFolder* folder = nullptr;
  const ScannedFile* file = nullptr;
  size_t number = 0;
};
using ScannedPlaces = std::vector<ScannedPlace>;

// The library's list of items: each saved folder's own, with its mode and
// times (the include folder "/" has none), and its files and links; a link
// is its mode (S_IFLNK) and its target's text, as 7-Zip's own -snl stores it,
// with no Windows reparse point. Returns the number of items that are not
// files of the scan.
size_t ListItems(const BackupClass& run, std::vector<FilePathInfoEx>* items,
                 ScannedPlaces* places) {
  items->reserve(run.totalFiles);
  places->reserve(run.totalFiles);
  size_t folders = 0;
  size_t number = 0;
  for (const ScannedFolder& folder : run.scan->results) {
    const auto start = static_cast<uint32_t>(vxstl::StoredPathStart(folder.path));
    const std::wstring_view path(folder.path);
    if (path.size() > start) {
      items->push_back(FilePathInfoEx{path.substr(0, path.size() - 1),
                                      {},
                                      folder.lastWriteTime,
                                      0,
                                      folder.attributes & ~platform::kAttributeReparsePoint,
                                      start,
                                      true});
      places->push_back({&folder, nullptr, 0});
      ++folders;
    }
    for (const ScannedFile& file : folder.files) {
      items->push_back(FilePathInfoEx{path, folder.NativeName(file), file.lastWriteTime, file.size,
                                      file.attributes & ~platform::kAttributeReparsePoint, start,
                                      false});
      places->push_back({&folder, &file, number++});
    }
  }
  if (run.manifest) {
    // The manifest last, in a folder of its own, for its owner only.
    static const std::wstring folder = std::wstring(L"/") + kManifestFolder;
    static const std::wstring manifest = folder + L"/" + kManifestFile;
    const uint64_t now = platform::FileTimeFromUnix(platform::Time().WallSeconds(), 0);
    const uint32_t unix = platform::kAttributeUnixExtension;
    items->push_back(FilePathInfoEx{
        folder, {}, now, 0, platform::kAttributeDirectory | unix | (040700u << 16), 1, true});
    // Its size is not known before the library asks for it; the library
    // keeps what it reads, but asks nothing of an item of size 0.
    const uint64_t estimate = 256 + 256 * static_cast<uint64_t>(items->size());
    items->push_back(
        FilePathInfoEx{manifest, {}, now, estimate, unix | (0100600u << 16), 1, false});
    places->resize(items->size());
    folders += 2;
  }
  return folders;
}

// What the library asks of the run's files, from its own threads and in an
// order of its own: each file opened only as the scan saw it, what was read
// of it, what failed, and the manifest once every file's digest is in.
class LibraryFiles {
 public:
  LibraryFiles(BackupClass& run, const std::vector<FilePathInfoEx>& items,
               const ScannedPlaces& places)
      : run_(run), items_(items), places_(places) {}

  void Connect(SevenZip::SevenZipUIUpdate* record) {
    record->fileFailed = [this](size_t index, const std::wstring&, int error) {
      Failed(index, error);
    };
    record->fileRead = [this](size_t index, const platform::ContentDigest& digest,
                              const platform::FileStatus& status) { Read(index, digest, status); };
    record->openFile = [this](size_t index, std::unique_ptr<platform::FileStream>* stream) {
      return Open(index, stream);
    };
  }

 private:
  void Failed(size_t index, int error) {
    const ScannedFile* file = places_[index].file;
    // Refused when it was read ahead, refused again when the library asks:
    // said once.
    if (file && run_.HasFailed(*file)) return;
    run_.log.WriteLogFormat(L"Backup file %s failed.%s", items_[index].FullPath(),
                            ErrorText(static_cast<uint32_t>(error)));
    ++run_.errorCount;
    if (file) run_.FileFailed(*file);
  }

  void Read(size_t index, const platform::ContentDigest& digest,
            const platform::FileStatus& status) {
    if (!places_[index].file) return;
    std::lock_guard<std::mutex> hold(lock_);
    vxstl::SavedFile& saved = run_.savedFiles[places_[index].number];
    if (saved.taken && saved.digest != digest) {
      Failed(index, platform::kErrorChangedWhileRead);
      return;
    }
    saved.status = status;
    saved.digest = digest;
    saved.taken = true;
  }

  int Open(size_t index, std::unique_ptr<platform::FileStream>* stream) {
    std::lock_guard<std::mutex> hold(lock_);
    const ScannedPlace& place = places_[index];
    if (place.file) {
      if (run_.HasFailed(*place.file)) return platform::kErrorChangedSinceScan;
      const int opened = sources_.Open(*place.folder, *place.file, stream);
      // Attributes that cannot be read are missed, never a reason to leave
      // the file out.
      if (platform::ExtendedAttributes attributes;
          opened == 0 && (*stream)->ReadAttributes(&attributes) == 0) {
        run_.KeepAttributes(place.number, std::move(attributes));
      }
      return opened;
    }
    ReadAhead();
    ManifestSpool* spool = nullptr;
    if (const platform::Status made = run_.manifest(&spool); !made.ok()) return made.code();
    *stream = spool->Read();
    return *stream ? 0 : EIO;
  }

  // A file the library has not read by the time the manifest is asked for
  // (an empty one, which it never reads, or, since the library packs in name
  // order, one whose name sorts after the manifest's) is read here for its
  // digest; the library's own reading must then find the same bytes. A file
  // that cannot be read now is refused here and stays refused.
  void ReadAhead() {
    for (size_t index = 0; index < places_.size(); ++index) {
      const ScannedPlace& place = places_[index];
      if (!place.file) continue;
      vxstl::SavedFile& saved = run_.savedFiles[place.number];
      if (saved.taken || run_.HasFailed(*place.file)) continue;
      if (const int error = ReadWhole(place, &saved); error != 0) {
        Failed(index, error);
        continue;
      }
      saved.taken = true;
    }
  }

  int ReadWhole(const ScannedPlace& place, vxstl::SavedFile* saved) {
    std::unique_ptr<platform::FileStream> stream;
    int error = sources_.Open(*place.folder, *place.file, &stream);
    if (error == 0) error = stream->Status(&saved->status);
    if (platform::ExtendedAttributes attributes;
        error == 0 && stream->ReadAttributes(&attributes) == 0) {
      run_.KeepAttributes(place.number, std::move(attributes));
    }
    platform::Sha256 hash;
    char buffer[1 << 16];
    for (size_t got = 1; error == 0 && got > 0;) {
      error = stream->Read(buffer, sizeof buffer, &got);
      hash.Add(buffer, error == 0 ? got : 0);
    }
    platform::FileStatus after;
    if (error == 0) error = stream->Status(&after);
    if (error == 0 && !saved->status.SameVersion(after)) {
      error = platform::kErrorChangedWhileRead;
    }
    if (error == 0) saved->digest = hash.Finish();
    return error;
  }

  BackupClass& run_;
  const std::vector<FilePathInfoEx>& items_;
  const ScannedPlaces& places_;
  std::mutex lock_;
  SourceOpener sources_;  // guarded by lock_, as run_.savedFiles is
};

}  // namespace

uint32_t SevenZipTarget::Write(BackupClass& run) {
  std::vector<FilePathInfoEx> files;
  ScannedPlaces scanned;
  const size_t others = ListItems(run, &files, &scanned);
  SevenZip::SevenZipUIUpdate record;
  record.level = static_cast<uint32_t>(run.compressionLevel);
  record.password = run.password;
  LibraryFiles asked(run, files, scanned);
  asked.Connect(&record);
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
    run.processedFiles = static_cast<uint32_t>(files.size() - others);
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
