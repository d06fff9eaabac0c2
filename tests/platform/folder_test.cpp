// Working through open folders: what other users can arrange in their folders
// (links, swapped files, FIFOs, long paths) never leads a run elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane::platform {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr uid_t kNobody = 65534;

class FolderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const { return dir_.Native(relative); }
  void Mkdir(const std::string& relative, mode_t mode = 0755) {
    ASSERT_EQ(::mkdir(Path(relative).c_str(), mode), 0) << relative;
    ASSERT_EQ(::chmod(Path(relative).c_str(), mode), 0);  // whatever the umask
  }
  void Link(const std::string& target, const std::string& relative) {
    ASSERT_EQ(::symlink(target.c_str(), Path(relative).c_str()), 0) << relative;
  }
  int Open(const std::string& relative, Folder* folder) {
    return Fs().OpenFolder(dir_.Wide(relative), folder).code();
  }
  FileId IdOf(const std::string& relative) const {
    struct stat status {};
    ::lstat(Path(relative).c_str(), &status);
    return FileId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  }
  static bool IsRoot() { return ::geteuid() == 0; }

  TempDir dir_;
  FileSystem& fs_ = Fs();
};

// Given links on the way to a folder, only those that nobody but root or this
// user could have placed (their folder is theirs and writable by nobody else)
// are followed.
TEST_F(FolderTest, OpenFolderFollowsOnlyLinksNobodyElseCanChange) {
  WriteBytes(Path("real/data/a.txt"), "a");
  Link("real", "trusted");
  Mkdir("shared", 0777);
  Link("../real", "shared/link");
  Mkdir("sticky", 01777);
  Link("../real", "sticky/link");

  Folder folder;
  ASSERT_EQ(Open("trusted/data", &folder), 0);
  EXPECT_EQ(folder.path(), dir_.Wide("trusted/data/"));
  EXPECT_EQ(folder.id(), IdOf("real/data"));
  EXPECT_EQ(Open("shared/link/data", &folder), kErrorLinkNotFollowed);
  EXPECT_EQ(Open("sticky/link", &folder), kErrorLinkNotFollowed);
  EXPECT_EQ(Open("real/data/a.txt", &folder), ENOTDIR);
  EXPECT_EQ(Open("real/missing", &folder), ENOENT);
  if (IsRoot()) {
    Mkdir("theirs");
    Link("../real", "theirs/link");
    ASSERT_EQ(::chown(Path("theirs").c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(Open("theirs/link/data", &folder), kErrorLinkNotFollowed);
  }
  // An absolute link target is walked from the root with the same rule.
  Link(Path("real"), "absolute");
  EXPECT_EQ(Open("absolute/data", &folder), 0);
  EXPECT_EQ(fs_.OpenFolder(L"/nonexistent-kelvane-folder", &folder).code(), ENOENT);
  EXPECT_EQ(fs_.OpenFolder(std::wstring(L"/tmp\0/x", 7), &folder).code(), EINVAL);
}

// Given a subfolder that was listed, then swapped (for a link, or for another
// folder), the open refuses it instead of following the swap.
TEST_F(FolderTest, OpenSubfolderNeverFollowsALinkNorTakesAnotherFolder) {
  Mkdir("top");
  Mkdir("top/sub");
  Mkdir("elsewhere");
  Link("../elsewhere", "top/link");
  Folder top;
  ASSERT_EQ(Open("top", &top), 0);
  const FileId listed = IdOf("top/sub");
  Folder sub;
  ASSERT_EQ(fs_.OpenSubfolder(top, L"sub", &listed, &sub).code(), 0);
  EXPECT_EQ(sub.path(), dir_.Wide("top/sub/"));
  EXPECT_EQ(fs_.OpenSubfolder(top, L"link", nullptr, &sub).code(), kErrorLinkNotFollowed);

  ASSERT_EQ(::rename(Path("top/sub").c_str(), Path("gone").c_str()), 0);
  ASSERT_EQ(::symlink("../elsewhere", Path("top/sub").c_str()), 0);
  EXPECT_EQ(fs_.OpenSubfolder(top, L"sub", &listed, &sub).code(), kErrorChangedSinceScan);
  ASSERT_EQ(::unlink(Path("top/sub").c_str()), 0);
  ASSERT_EQ(::rename(Path("elsewhere").c_str(), Path("top/sub").c_str()), 0);
  EXPECT_EQ(fs_.OpenSubfolder(top, L"sub", &listed, &sub).code(), kErrorChangedSinceScan);
  for (const wchar_t* name : {L"", L".", L"..", L"a/b"}) {
    EXPECT_EQ(fs_.OpenSubfolder(top, name, nullptr, &sub).code(), EINVAL);
  }
}

// Given a file that was listed and then replaced by a link to a secret, a
// FIFO or another file, it is never read, and a FIFO never blocks the open.
TEST_F(FolderTest, OpenFileOpensOnlyTheFileTheScanSaw) {
  WriteBytes(Path("src/a.txt"), "mine");
  WriteBytes(Path("secret"), "someone else's");
  Folder src;
  ASSERT_EQ(Open("src", &src), 0);
  const FileId listed = IdOf("src/a.txt");
  std::unique_ptr<FileStream> stream;
  ASSERT_EQ(fs_.OpenFile(src, L"a.txt", listed, &stream).code(), 0);
  char buffer[32];
  size_t got = 0;
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &got), 0);
  EXPECT_EQ(std::string(buffer, got), "mine");

  ASSERT_EQ(::rename(Path("src/a.txt").c_str(), Path("kept").c_str()), 0);
  Link(Path("secret"), "src/a.txt");
  EXPECT_EQ(fs_.OpenFile(src, L"a.txt", listed, &stream).code(), kErrorChangedSinceScan);
  ASSERT_EQ(::unlink(Path("src/a.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo(Path("src/a.txt").c_str(), 0644), 0);
  EXPECT_EQ(fs_.OpenFile(src, L"a.txt", listed, &stream).code(), kErrorChangedSinceScan);
  ASSERT_EQ(::unlink(Path("src/a.txt").c_str()), 0);
  WriteBytes(Path("src/a.txt"), "another file");
  EXPECT_EQ(fs_.OpenFile(src, L"a.txt", listed, &stream).code(), kErrorChangedSinceScan);
  ASSERT_EQ(::unlink(Path("src/a.txt").c_str()), 0);
  EXPECT_EQ(fs_.OpenFile(src, L"a.txt", listed, &stream).code(), ENOENT);
}

// Given a link planted at the name of a new file (a log, a lock, a job file),
// the link is replaced, never followed, and the new file is private whatever
// the umask.
TEST_F(FolderTest, NewFilesArePrivateAndNeverFollowAPlantedLink) {
  WriteBytes(Path("victim"), "precious");
  Mkdir("out");
  Link(Path("victim"), "out/made.log");
  Link(Path("victim"), "out/path.json");
  const mode_t umask = ::umask(0);
  Folder out;
  ASSERT_EQ(Open("out", &out), 0);
  std::unique_ptr<FileStream> file;
  ASSERT_EQ(fs_.CreateFile(out, L"made.log", &file).code(), 0);
  ASSERT_EQ(file->Write("new", 3), 0);
  ASSERT_EQ(file->Close(), 0);
  ASSERT_EQ(fs_.OpenStream(dir_.Wide("out/path.json"), FileStream::kCreate, &file).code(), 0);
  ASSERT_EQ(file->Close(), 0);
  std::unique_ptr<FileStream> stream;
  std::set<std::wstring> names;
  for (int i = 0; i < 3; ++i) {
    std::wstring name;
    ASSERT_EQ(fs_.CreateTemporary(out, L".Daily.zip", &name, &stream).code(), 0);
    EXPECT_TRUE(IsTemporaryName(name, L".Daily.zip")) << ToNative(name);
    names.insert(name);
  }
  Folder made;
  ASSERT_EQ(fs_.MakeFolder(out, L"Daily", &made).code(), 0);
  ::umask(umask);

  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(ReadBytes(Path("victim")), "precious");
  EXPECT_EQ(ReadBytes(Path("out/made.log")), "new");
  for (const std::string& name : test::NamesIn(Path("out"))) {
    struct stat status;
    ASSERT_EQ(::lstat(Path("out/" + name).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, S_ISDIR(status.st_mode) ? 0700u : 0600u) << name;
    EXPECT_FALSE(S_ISLNK(status.st_mode)) << name;
  }
  Link(Path("."), "out/linked");
  EXPECT_EQ(fs_.MakeFolder(out, L"linked", &made).code(), kErrorLinkNotFollowed);
}

// Given a program with set-user-ID and set-group-ID bits, root's copy keeps
// owner, group and bits (as cp -a does); a user who cannot give the copy its
// owner gets one without the bits, so nobody gains rights by a backup.
TEST_F(FolderTest, CopiesKeepTheirOwnerOrLoseTheirSetIdBits) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to own files of other users";
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  WriteBytes(Path("src/theirs"), "#!/bin/sh\n");
  ASSERT_EQ(::chown(Path("src/theirs").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(Path("src/theirs").c_str(), 06755), 0);
  WriteBytes(Path("src/roots"), "#!/bin/sh\n");
  ASSERT_EQ(::chmod(Path("src/roots").c_str(), 06755), 0);
  Mkdir("as-root", 0700);
  Mkdir("as-nobody", 0755);
  ASSERT_EQ(::chown(Path("as-nobody").c_str(), kNobody, kNobody), 0);

  Folder src, asRoot;
  ASSERT_EQ(Open("src", &src), 0);
  ASSERT_EQ(Open("as-root", &asRoot), 0);
  ASSERT_EQ(fs_.CopyFile(src, L"theirs", IdOf("src/theirs"), asRoot, L"theirs",
                         platform::CopyMode::kReplace, nullptr)
                .code(),
            0);
  struct stat copy;
  ASSERT_EQ(::stat(Path("as-root/theirs").c_str(), &copy), 0);
  EXPECT_EQ(copy.st_uid, kNobody);
  EXPECT_EQ(copy.st_gid, kNobody);
  EXPECT_EQ(copy.st_mode & 07777, 06755u);

  // The same copy made by a user who cannot keep root as the owner.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Folder target;
    const int status = ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ? 100
                       : Open("as-nobody", &target) != 0
                           ? 101
                           : fs_.CopyFile(src, L"roots", IdOf("src/roots"), target, L"roots",
                                          platform::CopyMode::kReplace, nullptr)
                                 .code();
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(::stat(Path("as-nobody/roots").c_str(), &copy), 0);
  EXPECT_EQ(copy.st_uid, kNobody);
  EXPECT_EQ(copy.st_mode & 07777, 0755u);

  ASSERT_EQ(::rename(Path("src/roots").c_str(), Path("src/old").c_str()), 0);
  WriteBytes(Path("src/roots"), "replaced");
  EXPECT_EQ(fs_.CopyFile(src, L"roots", IdOf("src/old"), asRoot, L"roots",
                         platform::CopyMode::kReplace, nullptr)
                .code(),
            kErrorChangedSinceScan);
  EXPECT_FALSE(test::PathExists(Path("as-root/roots")));
}

TEST_F(FolderTest, ALockIsHeldByOneAtATimeAndGoesWithItsHolder) {
  Mkdir("out");
  Folder out;
  ASSERT_EQ(Open("out", &out), 0);
  {
    FileLock first;
    ASSERT_EQ(first.TryLock(out, L".Daily.kvn-lock"), 0);
    struct stat status;
    ASSERT_EQ(::stat(Path("out/.Daily.kvn-lock").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    FileLock second;
    EXPECT_EQ(second.TryLock(out, L".Daily.kvn-lock"), EWOULDBLOCK);
    FileLock other;
    EXPECT_EQ(other.TryLock(out, L".Weekly.kvn-lock"), 0);
  }
  EXPECT_EQ(test::NamesIn(Path("out")), std::vector<std::string>{});
  FileLock again;
  EXPECT_EQ(again.TryLock(out, L".Daily.kvn-lock"), 0);

  WriteBytes(Path("victim"), "precious");
  Link(Path("victim"), "out/.Linked.kvn-lock");
  EXPECT_EQ(again.TryLock(out, L".Linked.kvn-lock"), ELOOP);
  ASSERT_EQ(::mkfifo(Path("out/.Fifo.kvn-lock").c_str(), 0600), 0);
  EXPECT_EQ(again.TryLock(out, L".Fifo.kvn-lock"), EINVAL);
  EXPECT_EQ(ReadBytes(Path("victim")), "precious");
}

}  // namespace
}  // namespace kelvane::platform
