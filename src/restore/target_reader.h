// One target of a restore point opened for reading, whatever it is: a ZIP or
// 7z archive, or a folder copy, told apart as the job's outputs are named
// (".zip", ".7z", a folder). Each reads its entries on every core it can into
// the sinks a restore or a drill gives them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "manifest/manifest_line.h"
#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

class TargetReader {
 public:
  virtual ~TargetReader() = default;
  // Reads the entries into the sinks `reading` gives them; a failure is the
  // archive's, not an entry's (each entry's verdict goes to its sink).
  virtual platform::Status ReadAll(const EntryReading& reading) = 0;
};

// What opening an archive needs besides the archive.
struct ReaderKeys {
  std::wstring password;         // the job's, or the one the user typed
  std::wstring sevenZipLibrary;  // the profile's choice; empty: the usual places
};

// Opens the target `entry` of `folder` (as its listing gives it). A failure's
// context says what is wrong, after the target's path.
platform::Status OpenTargetReader(const platform::Folder& folder,
                                  const platform::DirectoryEntry& entry, const ReaderKeys& keys,
                                  const std::atomic<bool>* stop,
                                  std::unique_ptr<TargetReader>* reader);

// The files a restore or a drill wants of one target, by their names there.
// Each is taken out as its sink is made: what is left afterwards, the target
// did not hold.
using WantedFiles = std::unordered_map<std::string, const ManifestEntry*>;
using FileSinkFor = std::function<std::unique_ptr<EntrySink>(const ManifestEntry& file)>;

// Reads the wanted files of `reader` into the sinks `sinkFor` makes, on a
// thread of its own (the reader's cores), calling `tick` every pump tick
// until it is done.
platform::Status ReadWantedFiles(TargetReader& reader, WantedFiles& wanted,
                                 const FileSinkFor& sinkFor, const std::atomic<bool>* stop,
                                 const std::function<void()>& tick);

// The name of the manifest inside a target.
std::string InnerManifestName();

// The manifest the target holds, read whole; ENOENT when it holds none.
platform::Status ReadInnerManifest(TargetReader& reader, std::string* text);

// Reads the target's first files until one reads whole, and stops there:
// whether its bytes can be read with the password it was written with. A
// damaged file is no answer (the restore names it); three in a row are.
platform::Status CheckPassword(TargetReader& reader);

}  // namespace kelvane
