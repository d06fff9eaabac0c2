// A further place a job's archives are kept: a folder that must already exist
// (another disk, a mounted share) or an rclone remote "REMOTE:PATH" from the
// user's rclone configuration. Whatever is put there comes to its name only
// after it was written whole and checked, so a name at a location always
// stands for a whole copy.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

// The temporary name a file is written under at a location.
std::wstring PartialName(const std::wstring& name);

struct LocationFile {
  std::wstring name;
  uint64_t size = 0;
};

class StorageLocation {
 public:
  virtual ~StorageLocation() = default;

  // As the job gives it.
  const std::wstring& where() const { return where_; }

  // Ready to be used: a folder exists (never made here) and is not the empty
  // mount point of a disk that is not there; rclone can be run.
  virtual platform::Status Open() = 0;
  // The plain files there (a remote folder not made yet holds none).
  virtual platform::Status List(std::vector<LocationFile>* files) = 0;
  // Copies the file `file` of `from` here under PartialName, checks the copy
  // (its size, and its hash where the location can tell one or `readBack`
  // asks for it), then gives it its name.
  virtual platform::Status Put(const platform::Folder& from, const platform::DirectoryEntry& file,
                               bool readBack) = 0;
  // Copies `name` from here into `to` under the same name.
  virtual platform::Status Fetch(const std::wstring& name, const platform::Folder& to) = 0;
  virtual platform::Status Remove(const std::wstring& name) = 0;
  // A folder location's open folder, read in place; none for a remote.
  virtual const platform::Folder* folder() const { return nullptr; }
  // What the helper program said when it last failed, a line each, for the
  // log; none for a folder.
  virtual std::vector<std::wstring> LastSaid() const { return {}; }

 protected:
  StorageLocation(std::wstring where, std::function<bool()> keepGoing)
      : where_(std::move(where)), keepGoing_(std::move(keepGoing)) {}

  const std::wstring where_;
  // Looked at while a copy takes time; false ends it.
  const std::function<bool()> keepGoing_;
};

// Whether `where` names an rclone remote rather than a folder.
bool IsRemoteLocation(const std::wstring& where);

// The location `where` names; none when it is neither an absolute folder nor
// a remote. `keepGoing` is called while long copies run.
std::unique_ptr<StorageLocation> MakeStorageLocation(const std::wstring& where,
                                                     std::function<bool()> keepGoing);

// What went wrong at `where`, as one line that names it once:
// "Code: 2, No such file or directory." for a folder that is not there.
std::wstring LocationFailureText(const std::wstring& where, const platform::Status& status);

// Writes a small file there, reads it back and removes it: whether the
// location can hold backups. `scratch` is a private folder to stage it in.
platform::Status ProbeLocation(StorageLocation& location, const platform::Folder& scratch);

}  // namespace kelvane
