#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane::platform {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class FileSystemTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FileSystem& fs_ = Fs();
};

TEST_F(FileSystemTest, MissingFilesAndFilesInTheWayAreRefusedWithTheSystemsReason) {
  std::unique_ptr<FileStream> in;
  EXPECT_EQ(fs_.OpenStream(dir_.Wide("missing"), FileStream::kReadExisting, &in).code(), ENOENT);
  EXPECT_EQ(fs_.OpenStream(dir_.Wide(""), FileStream::kReadExisting, &in).code(), EISDIR);
  EXPECT_EQ(fs_.Remove(dir_.Wide("missing")).code(), ENOENT);
  EXPECT_FALSE(fs_.Exists(dir_.Wide("missing")));
  EXPECT_EQ(fs_.CreateFolders(dir_.Wide("a/b/c/")).code(), 0);
  EXPECT_EQ(fs_.CreateFolders(dir_.Wide("a/b/c")).code(), 0);  // already there
  struct stat status;
  ASSERT_EQ(::stat(dir_.Native("a/b/c").c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));

  WriteBytes(dir_.Native("file"), "x");
  EXPECT_EQ(fs_.CreateFolders(dir_.Wide("file/sub")).code(), ENOTDIR);
  EXPECT_EQ(fs_.CreateFolders(dir_.Wide("file")).code(), ENOTDIR);
}

// A saved job keeps who may read it: the old file's bits, or owner-only.
TEST_F(FileSystemTest, AReplacementHasTheBitsOfTheFileItReplaces) {
  auto modeOfReplacement = [&](const std::string& name) {
    std::wstring temporary;
    std::unique_ptr<FileStream> file;
    EXPECT_EQ(fs_.CreateReplacement(dir_.Wide(name), &temporary, &file).code(), 0);
    struct stat status {};
    ::stat(platform::ToNative(temporary).c_str(), &status);
    file.reset();
    fs_.Remove(temporary).code();
    return status.st_mode & 07777;
  };
  WriteBytes(dir_.Native("shared.kvnjob"), "{}");
  ::chmod(dir_.Native("shared.kvnjob").c_str(), 04644);
  EXPECT_EQ(modeOfReplacement("shared.kvnjob"), 0644u);
  WriteBytes(dir_.Native("private.kvnjob"), "{}");
  ::chmod(dir_.Native("private.kvnjob").c_str(), 0600);
  EXPECT_EQ(modeOfReplacement("private.kvnjob"), 0600u);
  EXPECT_EQ(modeOfReplacement("new.kvnjob"), 0600u);
  // A job kept as a link to the real file is the real file: its bits, and
  // the link stays a link to it.
  ::symlink(dir_.Native("shared.kvnjob").c_str(), dir_.Native("link.kvnjob").c_str());
  EXPECT_EQ(modeOfReplacement("link.kvnjob"), 0644u);
  std::wstring temporary;
  std::unique_ptr<FileStream> file;
  ASSERT_EQ(fs_.CreateReplacement(dir_.Wide("link.kvnjob"), &temporary, &file).code(), 0);
  ASSERT_EQ(file->Write("new", 3), 0);
  file.reset();
  ASSERT_EQ(fs_.Replace(temporary, dir_.Wide("link.kvnjob")).code(), 0);
  EXPECT_EQ(ReadBytes(dir_.Native("shared.kvnjob")), "new");
  struct stat link {};
  ASSERT_EQ(::lstat(dir_.Native("link.kvnjob").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  // As root, a user's job stays the user's.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(dir_.Native("private.kvnjob").c_str(), 65534, 65534), 0);
    ASSERT_EQ(fs_.CreateReplacement(dir_.Wide("private.kvnjob"), &temporary, &file).code(), 0);
    struct stat owned {};
    ::stat(platform::ToNative(temporary).c_str(), &owned);
    EXPECT_EQ(owned.st_uid, 65534u);
    EXPECT_EQ(owned.st_gid, 65534u);
    file.reset();
    fs_.Remove(temporary).code();
  }
  // A link another user could have placed is not followed.
  ASSERT_EQ(::mkdir(dir_.Native("open").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir_.Native("open").c_str(), 01777), 0);
  ::symlink(dir_.Native("shared.kvnjob").c_str(), dir_.Native("open/job.kvnjob").c_str());
  EXPECT_EQ(fs_.CreateReplacement(dir_.Wide("open/job.kvnjob"), &temporary, &file).code(),
            platform::kErrorLinkNotFollowed);
}

}  // namespace
}  // namespace kelvane::platform
