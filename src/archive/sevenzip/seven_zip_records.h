// What the run and the 7z writer exchange: the files to pack and the record
// that carries the writer's parameters in and its progress and failure out.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/text_codec.h"

namespace kelvane::SevenZip {

namespace intl {

// One item to pack. The run builds them from the scan result and they point
// into it: a run over a million files keeps a million of these, so no item
// holds a path of its own.
struct FilePathInfoEx {
  // The item's full path is `folder` followed by `name` (a file's name as the
  // system gives it; empty for an item whose whole path `folder` is).
  std::wstring_view folder;
  std::string_view name;
  // FILETIME ticks. Only the modification time: the library keeps no
  // creation or access time unless told to (`7z l -slt` of a job's archive
  // shows neither).
  uint64_t lastWriteTime = 0;
  uint64_t size = 0;
  // Windows attribute bits; with 0x8000 set, the Unix mode in the high 16 bits.
  uint32_t attributes = 0;
  uint32_t archivePathStart = 0;  // the stored name is the full path from here on
  bool isDirectory = false;

  std::wstring FullPath() const { return std::wstring(folder) + platform::FromNative(name); }
  std::wstring StoredName() const { return FullPath().substr(archivePathStart); }
};

}  // namespace intl

// Parameters in, progress and the failure out. The writer's worker threads
// update the counters while the run's window thread reads them: atomic.
struct SevenZipUIUpdate {
  uint32_t level = 9;
  std::atomic<uint64_t> processedBytes{0};
  std::atomic<uint32_t> processedFiles{0};
  std::wstring password;
  std::string errorText;  // UTF-8; set when the writer fails

  // Set by the run to stop the writer: the library is answered E_ABORT at
  // its next progress call, stream request or read.
  std::atomic<bool> stopRequested{false};
  // Told about a file that could not be opened (it is left out of the
  // archive) or read to its end (its item holds what was read); the archive
  // goes on. Called from the library's threads.
  std::function<void(size_t index, const std::wstring& fullPath, int error)> fileFailed;
  // Told about a file read whole and unchanged: the digest of its bytes and
  // the status of the version read. Called from the library's threads.
  std::function<void(size_t index, const platform::ContentDigest& digest,
                     const platform::FileStatus& status)>
      fileRead;
  // Opens file `index` of the list for reading (0 or an error number); the
  // run sets it, because it knows which file the scan saw at each path.
  // Without it a file is opened by its full path. Called from the library's
  // threads, not in list order, possibly from more than one thread.
  std::function<int(size_t index, std::unique_ptr<platform::FileStream>* stream)> openFile;
};

}  // namespace kelvane::SevenZip
