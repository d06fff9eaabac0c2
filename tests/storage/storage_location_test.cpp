// What a job may name as a storage location. A location reaches rclone as
// an argument, so nothing in it may read as one of rclone's options.

#include "storage/storage_location.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "support/test_support.h"

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

// A copy at a folder location takes its name only once it is on the disk:
// one that cannot be written out leaves neither the name nor a partial.
TEST(StorageLocationTest, AFolderLocationNamesOnlyACopyOnDisk) {
  test::TempDir dir;
  test::WriteBytes(dir.Native("out/Daily.zip"), "archive");
  test::WriteBytes(dir.Native("copy/.keep"), "");
  test::FaultyFileSystem fs;
  for (const int syncError : {EIO, 0}) {
    fs.failSync = [syncError](const std::wstring&) { return syncError; };
    const std::unique_ptr<StorageLocation> location =
        MakeStorageLocation(dir.Wide("copy"), [] { return true; });
    ASSERT_TRUE(location && location->Open().ok());
    platform::Folder out;
    ASSERT_EQ(platform::Fs().OpenFolder(dir.Wide("out"), &out).code(), 0);
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_EQ(platform::Fs().ReadDirectory(out, &entries).code(), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(location->Put(out, entries[0], false).code(), syncError);
    const std::vector<std::string> expected = syncError != 0
                                                  ? std::vector<std::string>{".keep"}
                                                  : std::vector<std::string>{".keep", "Daily.zip"};
    EXPECT_EQ(test::NamesIn(dir.Native("copy")), expected);
  }
  EXPECT_EQ(test::ReadBytes(dir.Native("copy/Daily.zip")), "archive");
}

}  // namespace
}  // namespace kelvane
