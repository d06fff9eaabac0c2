// Reading folders: the Linux facts mapped onto the attribute bits of a backup.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane::platform {
namespace {

using test::TempDir;
using test::WriteBytes;

// The entries of the folder at `path`, read through the folder opened by path.
int List(const std::wstring& path, std::vector<DirectoryEntry>* entries) {
  Folder folder;
  if (const int error = Fs().OpenFolder(path, &folder).code(); error != 0) return error;
  return Fs().ReadDirectory(folder, entries).code();
}

const DirectoryEntry* Named(const std::vector<DirectoryEntry>& entries, std::wstring_view name) {
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const DirectoryEntry& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
}

TEST(DirectoryTest, MapsLinuxFilesOntoAttributes) {
  TempDir dir;
  WriteBytes(dir.Native("plain.txt"), "12345");
  WriteBytes(dir.Native(".hidden"), "");
  WriteBytes(dir.Native("readonly.txt"), "x");
  ASSERT_EQ(::chmod(dir.Native("readonly.txt").c_str(), 0444), 0);
  ASSERT_EQ(::mkdir(dir.Native("sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("sub", dir.Native("link-to-folder").c_str()), 0);
  ASSERT_EQ(::symlink("plain.txt", dir.Native("link-to-file").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir.Native("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.Native("pipe").c_str(), 0644), 0);

  std::vector<DirectoryEntry> entries;
  ASSERT_EQ(List(dir.Wide(""), &entries), 0);
  EXPECT_EQ(entries.size(), 8u);  // no "." or ".."

  const auto windowsBits = [&](std::wstring_view name) {
    return Named(entries, name)->attributes & kWindowsAttributeBits;
  };
  const DirectoryEntry* plain = Named(entries, L"plain.txt");
  ASSERT_TRUE(plain);
  EXPECT_EQ(windowsBits(L"plain.txt"), kAttributeArchive);
  // The Unix mode rides in the high half, as 7-Zip keeps it.
  EXPECT_EQ(plain->attributes & ~kWindowsAttributeBits, kAttributeUnixExtension | (0100644u << 16));
  EXPECT_EQ(plain->size, 5u);
  EXPECT_EQ(windowsBits(L".hidden"), kAttributeArchive | kAttributeHidden);
  EXPECT_EQ(windowsBits(L"readonly.txt"), kAttributeArchive | kAttributeReadOnly);
  EXPECT_EQ(Named(entries, L"readonly.txt")->attributes >> 16, 0100444u);
  EXPECT_EQ(windowsBits(L"sub"), kAttributeArchive | kAttributeDirectory);

  const DirectoryEntry* folderLink = Named(entries, L"link-to-folder");
  EXPECT_EQ(folderLink->attributes & (kAttributeDirectory | kAttributeReparsePoint),
            kAttributeDirectory | kAttributeReparsePoint);
  EXPECT_EQ(folderLink->reparseTag, kReparseTagSymlink);
  const DirectoryEntry* fileLink = Named(entries, L"link-to-file");
  EXPECT_EQ(fileLink->attributes & (kAttributeDirectory | kAttributeReparsePoint),
            kAttributeReparsePoint);
  EXPECT_EQ(fileLink->reparseTag, kReparseTagSymlink);
  EXPECT_EQ(Named(entries, L"dangling")->reparseTag, kReparseTagSymlink);
  EXPECT_TRUE(Named(entries, L"pipe")->attributes & kAttributeDevice);
}

TEST(DirectoryTest, MarksAFolderOnAnotherDeviceAsMountPoint) {
  struct stat root, proc;
  if (::stat("/", &root) != 0 || ::stat("/proc", &proc) != 0 || root.st_dev == proc.st_dev) {
    GTEST_SKIP() << "/proc is not a separate mount here";
  }
  std::vector<DirectoryEntry> entries;
  ASSERT_EQ(List(L"/", &entries), 0);
  const DirectoryEntry* entry = Named(entries, L"proc");
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->attributes & kAttributeReparsePoint);
  EXPECT_EQ(entry->reparseTag, kReparseTagMountPoint);
}

}  // namespace
}  // namespace kelvane::platform
