// A storage location that is an rclone remote ("REMOTE:PATH", the user's
// rclone configuration; RCLONE_CONFIG is honoured by rclone itself). rclone
// runs as a program with an argument list, never through a shell; what it
// says on standard error becomes the failure's text.
//
// A copy is uploaded under PartialName, checked, then moved to its name on
// the server: against the remote's own hash of the upload where the remote
// has one (SHA-256, else SHA-1, else MD5), else by downloading it when the
// job reads its backups back, else by its size.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "storage/storage_location.h"

namespace kelvane {

class RcloneLocation : public StorageLocation {
 public:
  RcloneLocation(std::wstring where, std::function<bool()> keepGoing)
      : StorageLocation(std::move(where), std::move(keepGoing)) {}

  platform::Status Open() override;
  platform::Status List(std::vector<LocationFile>* files) override;
  platform::Status Put(const platform::Folder& from, const platform::DirectoryEntry& file,
                       bool readBack) override;
  platform::Status Fetch(const std::wstring& name, const platform::Folder& to) override;
  platform::Status Remove(const std::wstring& name) override;
  std::vector<std::wstring> LastSaid() const override { return lastSaid_; }

 private:
  // rclone with `args`; its standard output in `*out` when asked for.
  platform::Status Rclone(const std::vector<std::string>& args, std::string* out = nullptr);
  std::string PathOf(const std::wstring& name) const;
  platform::Status ListAt(const std::string& path, std::vector<LocationFile>* files);
  platform::Status CheckUpload(const platform::Folder& from, const platform::DirectoryEntry& file,
                               bool readBack);
  // The best hash the remote keeps of its files; "" when none.
  platform::Status HashKind(std::string* kind);

  std::optional<std::string> hashKind_;
  std::vector<std::wstring> lastSaid_;
};

// The remotes of the user's rclone configuration ("NAME:"), for a user to
// choose from; none when rclone is missing or has none.
std::vector<std::wstring> RcloneRemotes();

}  // namespace kelvane
