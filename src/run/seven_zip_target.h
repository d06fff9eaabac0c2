// The 7z target: the whole file list handed to the 7-Zip library at once.
#pragma once

#include <cstdint>
#include <string>

#include "run/backup_target.h"

namespace kelvane {

class SevenZipTarget final : public BackupTarget {
 public:
  // `library`: the 7-Zip library to load (the preference "Main"/"SevenZip");
  // empty: the standard places.
  explicit SevenZipTarget(std::wstring library) : library_(std::move(library)) {}

  // RunSevenZipTarget: packs on a task thread while the caller's thread
  // pumps. Throws std::runtime_error with the writer's failure.
  uint32_t Write(vxstl::BackupClass& run) override;
  // Tests every entry with the library's reader on a task thread.
  TargetCheck Verify(vxstl::BackupClass& run) override;
  // By its size: an archive without items is its 32-byte signature header.
  bool HoldsFiles(const platform::Folder& folder, const platform::DirectoryEntry& entry) override;

 private:
  std::wstring library_;
};

}  // namespace kelvane
