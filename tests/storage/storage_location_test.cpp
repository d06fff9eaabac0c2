// What a job may name as a storage location. A location reaches rclone as
// an argument, so nothing in it may read as one of rclone's options.

#include "storage/storage_location.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/system_error.h"

namespace kelvane {
namespace {

TEST(StorageLocationTest, OnlyAbsoluteFoldersAndRemoteNamesRcloneAllowsAreLocations) {
  const struct {
    const wchar_t* where;
    const char* kind;  // "folder", "remote" or "none"
  } cases[] = {
      // clang-format off
      {L"/mnt/usb/backups", "folder"}, {L"/srv/a:b", "folder"}, {L"nas:backups/daily", "remote"},
      {L"my-box.2@home:", "remote"}, {L"s3 eu:bucket/x", "remote"}, {L"backups", "none"},
      {L"./here:x", "none"}, {L"--config=/tmp/evil:x", "none"}, {L"-v:x", "none"},
      {L" space:x", "none"}, {L":local:/etc", "none"}, {L"a;b:x", "none"},
      // clang-format on
  };
  for (const auto& c : cases) {
    const std::unique_ptr<StorageLocation> location = MakeStorageLocation(c.where, nullptr);
    const std::string kind = !location ? "none" : location->folder() ? "folder" : "remote";
    EXPECT_EQ(kind, c.kind) << std::string(c.where, c.where + std::wcslen(c.where));
    EXPECT_EQ(IsRemoteLocation(c.where), kind == "remote");
  }
}

TEST(StorageLocationTest, AFailureNamesTheLocationOnce) {
  EXPECT_EQ(LocationFailureText(L"/mnt/usb", platform::Status::Error(ENOENT, L"/mnt/usb/")),
            L"Code: 2, No such file or directory.");
  EXPECT_EQ(LocationFailureText(L"s:kv", platform::Status::Error(platform::kErrorProgramFailed,
                                                                 L"rclone: connection refused")),
            L"rclone: connection refused.");
}

}  // namespace
}  // namespace kelvane
