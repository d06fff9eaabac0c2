// A storage location that is a folder on this machine: another disk, a
// mounted share. Files are copied with the program's own file layer (never
// through a link planted at a name) and read back from the disk before they
// are renamed to their names.
#pragma once

#include "storage/storage_location.h"

namespace kelvane {

class FolderLocation : public StorageLocation {
 public:
  explicit FolderLocation(std::wstring where, std::function<bool()> keepGoing)
      : StorageLocation(std::move(where), std::move(keepGoing)) {}

  platform::Status Open() override;
  platform::Status List(std::vector<LocationFile>* files) override;
  platform::Status Put(const platform::Folder& from, const platform::DirectoryEntry& file,
                       bool readBack) override;
  platform::Status Fetch(const std::wstring& name, const platform::Folder& to) override;
  platform::Status Remove(const std::wstring& name) override;
  const platform::Folder* folder() const override { return &folder_; }

 private:
  platform::Status Entry(const std::wstring& name, platform::DirectoryEntry* entry);
  // Writes the file `name` out to the disk, only it: the location may share
  // its disk with much else that waits to be written.
  platform::Status WriteOut(const std::wstring& name);

  platform::Folder folder_;
};

}  // namespace kelvane
