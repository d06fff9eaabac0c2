// The restore points at a storage location as a folder that the restore and
// retention code read like an archive folder: a folder location in place; a
// remote as a private temporary folder holding each target's manifest and
// an empty stand-in for the target itself, downloaded only when asked for.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "storage/storage_location.h"

namespace kelvane {

class LocationView {
 public:
  LocationView() = default;
  ~LocationView();
  LocationView(const LocationView&) = delete;
  LocationView& operator=(const LocationView&) = delete;

  // Views the files `isTarget` names at `location` (opened already), and
  // their manifests; a remote's are staged in a new temporary folder inside
  // `work`, named with `stem` as CreateTemporary names files.
  platform::Status Open(StorageLocation& location, const platform::Folder& work,
                        const std::wstring& stem,
                        const std::function<bool(const std::wstring&)>& isTarget);
  const platform::Folder& folder() const;
  bool inPlace() const { return location_ && location_->folder(); }
  // Makes the target `name` readable in folder(): a remote's downloaded over
  // its stand-in.
  platform::Status Fetch(const std::wstring& name);

 private:
  StorageLocation* location_ = nullptr;
  const platform::Folder* work_ = nullptr;
  std::wstring stagingName_;
  platform::Folder staging_;
};

// A private folder for staging downloads: $TMPDIR, else /var/tmp (on disk,
// where /tmp may be memory).
platform::Status OpenScratchRoot(platform::Folder* root);

}  // namespace kelvane
