// The real file system on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/directory_entry_posix.h"
#include "platform/file_copy_posix.h"
#include "platform/file_stream_posix.h"
#include "platform/file_system.h"
#include "platform/folder_path_posix.h"
#include "platform/free_space_posix.h"
#include "platform/link_copy_posix.h"
#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/restore_posix.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"

namespace kelvane::platform {
namespace {

// A single name inside a folder: never empty, ".", ".." or with a separator.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// The native form of a name inside a folder; false for anything else.
bool NativeName(const std::wstring& name, std::string* native) {
  *native = ToNative(name);
  return IsPlainName(*native);
}

// Creates `name` in `dirFd` as a new file for its owner only, removing
// whatever stood there first: O_EXCL then refuses a link planted in between.
int CreateExclusive(int dirFd, const std::string& name, int access, int* fd) {
  // Whatever fails here (nothing there, a folder in the way) the create reports.
  (void)::unlinkat(dirFd, name.c_str(), 0);
  *fd = ::openat(dirFd, name.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  return *fd < 0 ? errno : 0;
}

// The open folder holding `path` and the last component's name. Paths are the
// user's own files (job files, settings), so the folder is found the way the
// kernel finds it; only the name itself is never followed.
int OpenParentOf(const std::string& path, int* dirFd, std::string* name) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const size_t slash = folder.rfind('/');
  *name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  if (!IsPlainName(*name)) return EINVAL;
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  *dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return *dirFd < 0 ? errno : 0;
}

int FolderFromDescriptor(int fd, std::wstring path, Folder* folder) {
  struct stat status;
  if (::fstat(fd, &status) != 0) return CloseAfterFailure(fd);
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
  *folder = Folder(fd, std::move(path), IdOf(status));
  return 0;
}

// The calls themselves, each giving an error number; PosixFileSystem below
// adds what they were about.
class PosixCalls {
 public:
  int CreateReplacement(const std::wstring& path, std::wstring* temporary,
                        std::unique_ptr<FileStream>* file) {
    std::string native;
    if (const int error = FileBehindLinks(ToNative(path), &native); error != 0) return error;
    int dirFd = -1;
    std::string name;
    if (const int error = OpenParentOf(native, &dirFd, &name); error != 0) return error;
    std::string made;
    int fd = -1;
    const int error = CreateTemporaryAt(dirFd, "." + name, O_RDWR, &made, &fd);
    // The new file reads like the one it replaces: a job file the user made
    // 0640 stays 0640, one kept 0600 for its password stays 0600, and it
    // keeps its owner and group where the system lets us give them (root
    // saving a user's job leaves it the user's). A new file stays for its
    // owner only.
    struct stat replaced;
    if (error == 0 && ::fstatat(dirFd, name.c_str(), &replaced, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(replaced.st_mode)) {
      if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid);
      }
      (void)::fchmod(fd, replaced.st_mode & 0777);
    }
    ::close(dirFd);
    if (error != 0) return error;
    *temporary = FromNative(native.substr(0, native.size() - name.size()) + made);
    *file = std::make_unique<PosixFileStream>(fd);
    return 0;
  }

  int OpenStream(const std::wstring& path, FileStream::Mode mode,
                 std::unique_ptr<FileStream>* stream) {
    const std::string native = ToNative(path);
    if (mode == FileStream::kCreate) {
      int fd = -1;
      if (const int error = CreateByPath(path, O_RDWR, &fd); error != 0) return error;
      *stream = std::make_unique<PosixFileStream>(fd);
      return 0;
    }
    const int fd = ::open(native.c_str(), kReadFlags & ~O_NOFOLLOW);
    if (fd < 0) return errno;
    struct stat info;
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode)) error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (error != 0) {
      ::close(fd);
      return error;
    }
    MakeBlocking(fd);
    *stream = std::make_unique<PosixFileStream>(fd);
    return 0;
  }

  bool Exists(const std::wstring& path) {
    struct stat status;
    return ::lstat(ToNative(path).c_str(), &status) == 0;
  }

  int Remove(const std::wstring& path) { return ::unlink(ToNative(path).c_str()) == 0 ? 0 : errno; }

  int Replace(const std::wstring& source, const std::wstring& target) {
    std::string nativeTarget;
    if (const int error = FileBehindLinks(ToNative(target), &nativeTarget); error != 0) {
      return error;
    }
    if (::rename(ToNative(source).c_str(), nativeTarget.c_str()) != 0) return errno;
    int dirFd = -1;
    std::string name;
    if (const int error = OpenParentOf(nativeTarget, &dirFd, &name); error != 0) return error;
    const int synced = SyncFolder(dirFd);
    ::close(dirFd);
    return synced;
  }

  int CreateFolders(const std::wstring& path) {
    int fd = -1;
    if (const int error = OpenFolderByPath(ToNative(path), true, &fd); error != 0) return error;
    ::close(fd);
    return 0;
  }

  int OpenFolder(const std::wstring& path, Folder* folder) {
    int fd = -1;
    if (const int error = OpenFolderByPath(ToNative(path), false, &fd); error != 0) return error;
    return FolderFromDescriptor(fd, path, folder);
  }

  int OpenSubfolder(const Folder& parent, const std::wstring& name, const FileId* expected,
                    Folder* folder) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    const int fd =
        ::openat(parent.handle(), native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      if (error != ENOTDIR && error != ELOOP) return error;
      // What the scan listed as a folder is something else now.
      if (expected) return kErrorChangedSinceScan;
      struct stat status;
      const bool isLink =
          ::fstatat(parent.handle(), native.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(status.st_mode);
      return isLink ? kErrorLinkNotFollowed : error;
    }
    Folder opened;
    if (const int error = FolderFromDescriptor(fd, parent.path() + name, &opened); error != 0) {
      return error;
    }
    if (expected && opened.id() != *expected) return kErrorChangedSinceScan;
    *folder = std::move(opened);
    return 0;
  }

  int MakeFolder(const Folder& parent, const std::wstring& name, Folder* folder) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    if (::mkdirat(parent.handle(), native.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return OpenSubfolder(parent, name, nullptr, folder);
  }

  int MakeTemporaryFolder(const Folder& parent, const std::wstring& stem, std::wstring* name,
                          Folder* folder) {
    std::string native;
    if (const int error = MakeTemporaryFolderAt(parent.handle(), ToNative(stem), &native);
        error != 0) {
      return error;
    }
    *name = FromNative(native);
    return OpenSubfolder(parent, *name, nullptr, folder);
  }

  int RemoveTree(const Folder& folder, const std::wstring& name) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    return RemoveTreeAt(folder.handle(), native);
  }

  int SyncFileSystem(const Folder& folder) { return ::syncfs(folder.handle()) == 0 ? 0 : errno; }

  int DescribeFolder(const Folder& folder, DirectoryEntry* entry) {
    *entry = DirectoryEntry{};
    entry->error = DescribeEntry(folder.handle(), ".", folder.id().device, entry);
    return entry->error;
  }

  int ReadDirectory(const Folder& folder, std::vector<DirectoryEntry>* entries) {
    entries->clear();
    // A descriptor of its own: reading moves its position, not the folder's.
    const int fd = ::openat(folder.handle(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) return CloseAfterFailure(fd);
    int error = 0;
    for (;;) {
      errno = 0;
      const dirent* item = ::readdir(dir);
      if (!item) {
        error = errno;
        break;
      }
      const char* name = item->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      DirectoryEntry entry;
      entry.error = DescribeEntry(fd, name, folder.id().device, &entry);
      // An entry removed since readdir listed it is simply not there any more.
      if (entry.error == ENOENT) continue;
      entry.nativeName = name;
      entry.name = FromNative(entry.nativeName);
      entries->push_back(std::move(entry));
    }
    ::closedir(dir);
    return error;
  }

  int OpenFile(const Folder& folder, const std::wstring& name, const FileId& expected,
               std::unique_ptr<FileStream>* stream) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    int fd = -1;
    struct stat status;
    if (const int error = OpenScannedFile(folder.handle(), native, expected, &fd, &status);
        error != 0) {
      return error;
    }
    *stream = std::make_unique<PosixFileStream>(fd, status);
    return 0;
  }

  int OpenLink(const Folder& folder, const std::wstring& name, const FileId& expected,
               std::unique_ptr<FileStream>* stream) {
    std::string native, target;
    if (!NativeName(name, &native)) return EINVAL;
    struct stat status;
    if (const int error = ReadScannedLink(folder.handle(), native, expected, &target, &status);
        error != 0) {
      return error;
    }
    *stream = MakeLinkStream(std::move(target), status);
    return 0;
  }

  int CreateFile(const Folder& folder, const std::wstring& name,
                 std::unique_ptr<FileStream>* file) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    int fd = -1;
    if (const int error = CreateExclusive(folder.handle(), native, O_RDWR, &fd); error != 0) {
      return error;
    }
    *file = std::make_unique<PosixFileStream>(fd);
    return 0;
  }

  int CreateTemporary(const Folder& folder, const std::wstring& stem, std::wstring* name,
                      std::unique_ptr<FileStream>* stream) {
    std::string native;
    int fd = -1;
    if (const int error = CreateTemporaryAt(folder.handle(), ToNative(stem), O_RDWR, &native, &fd);
        error != 0) {
      return error;
    }
    *name = FromNative(native);
    *stream = std::make_unique<PosixFileStream>(fd);
    return 0;
  }

  int Rename(const Folder& from, const std::wstring& fromName, const Folder& to,
             const std::wstring& toName) {
    std::string source, target;
    if (!NativeName(fromName, &source) || !NativeName(toName, &target)) return EINVAL;
    if (::renameat(from.handle(), source.c_str(), to.handle(), target.c_str()) != 0) return errno;
    return SyncFolder(to.handle());
  }

  int RenameUnsynced(const Folder& from, const std::wstring& fromName, const Folder& to,
                     const std::wstring& toName) {
    std::string source, target;
    if (!NativeName(fromName, &source) || !NativeName(toName, &target)) return EINVAL;
    return ::renameat(from.handle(), source.c_str(), to.handle(), target.c_str()) == 0 ? 0 : errno;
  }

  int ReadLink(const Folder& folder, const std::wstring& name, std::string* target) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    return ReadLinkAt(folder.handle(), native.c_str(), target);
  }

  int RemoveFile(const Folder& folder, const std::wstring& name) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    return ::unlinkat(folder.handle(), native.c_str(), 0) == 0 ? 0 : errno;
  }

  int CopyFile(const Folder& source, const std::wstring& name, const FileId& expected,
               const Folder& target, const std::wstring& targetName, CopyMode mode,
               FileContent* content) {
    std::string sourceName, copyName;
    if (!NativeName(name, &sourceName) || !NativeName(targetName, &copyName)) return EINVAL;
    return CopyRegularFile(source.handle(), sourceName, expected, target.handle(), copyName, mode,
                           content);
  }

  int CopyLink(const Folder& source, const std::wstring& name, const FileId& expected,
               const Folder& target, const std::wstring& targetName, CopyMode mode,
               FileContent* content) {
    std::string sourceName, copyName;
    if (!NativeName(name, &sourceName) || !NativeName(targetName, &copyName)) return EINVAL;
    return CopyScannedLink(source.handle(), sourceName, expected, target.handle(), copyName, mode,
                           content);
  }

  int CopyFolderStatus(const Folder& source, const Folder& copy) {
    return CopyFolderAttributes(source.handle(), copy.handle());
  }

  int MakeLink(const Folder& folder, const std::wstring& name, const std::string& target,
               const RestoredStatus& status) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    return MakeRestoredLink(folder.handle(), native, target, status);
  }

  int ReadBack(const Folder& folder, const std::wstring& name, ContentDigest* digest) {
    std::string native;
    if (!NativeName(name, &native)) return EINVAL;
    const int error = ReadBackFile(folder.handle(), native, digest);
    return error == ELOOP ? ReadBackLink(folder.handle(), native, digest) : error;
  }

 private:
  // A new file for its owner only at `path`, through its folder.
  static int CreateByPath(const std::wstring& path, int access, int* fd) {
    int dirFd = -1;
    std::string name;
    if (const int error = OpenParentOf(ToNative(path), &dirFd, &name); error != 0) return error;
    const int error = CreateExclusive(dirFd, name, access, fd);
    ::close(dirFd);
    return error;
  }
};

// Status of a call: ok, or its error number with what it was about.
Status Outcome(int error, const std::wstring& about) {
  return error == 0 ? Status() : Status::Error(error, about);
}

class PosixFileSystem final : public FileSystem {
 public:
  Status CreateReplacement(const std::wstring& path, std::wstring* temporary,
                           std::unique_ptr<FileStream>* file) override {
    return Outcome(calls_.CreateReplacement(path, temporary, file), path);
  }
  Status OpenStream(const std::wstring& path, FileStream::Mode mode,
                    std::unique_ptr<FileStream>* stream) override {
    return Outcome(calls_.OpenStream(path, mode, stream), path);
  }
  bool Exists(const std::wstring& path) override { return calls_.Exists(path); }
  Status Remove(const std::wstring& path) override { return Outcome(calls_.Remove(path), path); }
  Status Replace(const std::wstring& source, const std::wstring& target) override {
    return Outcome(calls_.Replace(source, target), target);
  }
  Status CreateFolders(const std::wstring& path) override {
    return Outcome(calls_.CreateFolders(path), path);
  }
  Status FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override {
    return Outcome(FreeSpaceAt(path, bytes, queried), path);
  }
  Status OpenFolder(const std::wstring& path, Folder* folder) override {
    return Outcome(calls_.OpenFolder(path, folder), path);
  }
  Status OpenSubfolder(const Folder& parent, const std::wstring& name, const FileId* expected,
                       Folder* folder) override {
    return Outcome(calls_.OpenSubfolder(parent, name, expected, folder), parent.path() + name);
  }
  Status MakeFolder(const Folder& parent, const std::wstring& name, Folder* folder) override {
    return Outcome(calls_.MakeFolder(parent, name, folder), parent.path() + name);
  }
  Status MakeTemporaryFolder(const Folder& parent, const std::wstring& stem, std::wstring* name,
                             Folder* folder) override {
    return Outcome(calls_.MakeTemporaryFolder(parent, stem, name, folder), parent.path() + stem);
  }
  Status RemoveTree(const Folder& folder, const std::wstring& name) override {
    return Outcome(calls_.RemoveTree(folder, name), folder.path() + name);
  }

  Status ReadDirectory(const Folder& folder, std::vector<DirectoryEntry>* entries) override {
    return Outcome(calls_.ReadDirectory(folder, entries), folder.path());
  }
  Status DescribeFolder(const Folder& folder, DirectoryEntry* entry) override {
    return Outcome(calls_.DescribeFolder(folder, entry), folder.path());
  }
  Status SyncFileSystem(const Folder& folder) override {
    return Outcome(calls_.SyncFileSystem(folder), folder.path());
  }
  Status OpenFile(const Folder& folder, const std::wstring& name, const FileId& expected,
                  std::unique_ptr<FileStream>* stream) override {
    return Outcome(calls_.OpenFile(folder, name, expected, stream), folder.path() + name);
  }
  Status OpenLink(const Folder& folder, const std::wstring& name, const FileId& expected,
                  std::unique_ptr<FileStream>* stream) override {
    return Outcome(calls_.OpenLink(folder, name, expected, stream), folder.path() + name);
  }
  Status CreateFile(const Folder& folder, const std::wstring& name,
                    std::unique_ptr<FileStream>* file) override {
    return Outcome(calls_.CreateFile(folder, name, file), folder.path() + name);
  }
  Status CreateTemporary(const Folder& folder, const std::wstring& stem, std::wstring* name,
                         std::unique_ptr<FileStream>* stream) override {
    return Outcome(calls_.CreateTemporary(folder, stem, name, stream), folder.path() + stem);
  }
  Status Rename(const Folder& from, const std::wstring& fromName, const Folder& to,
                const std::wstring& toName) override {
    return Outcome(calls_.Rename(from, fromName, to, toName), to.path() + toName);
  }
  Status RenameUnsynced(const Folder& from, const std::wstring& fromName, const Folder& to,
                        const std::wstring& toName) override {
    return Outcome(calls_.RenameUnsynced(from, fromName, to, toName), to.path() + toName);
  }
  Status ReadLink(const Folder& folder, const std::wstring& name, std::string* target) override {
    return Outcome(calls_.ReadLink(folder, name, target), folder.path() + name);
  }
  Status RemoveFile(const Folder& folder, const std::wstring& name) override {
    return Outcome(calls_.RemoveFile(folder, name), folder.path() + name);
  }
  Status CopyFile(const Folder& source, const std::wstring& name, const FileId& expected,
                  const Folder& target, const std::wstring& targetName, CopyMode mode,
                  FileContent* content) override {
    return Outcome(calls_.CopyFile(source, name, expected, target, targetName, mode, content),
                   source.path() + name);
  }
  Status CopyLink(const Folder& source, const std::wstring& name, const FileId& expected,
                  const Folder& target, const std::wstring& targetName, CopyMode mode,
                  FileContent* content) override {
    return Outcome(calls_.CopyLink(source, name, expected, target, targetName, mode, content),
                   source.path() + name);
  }
  Status CopyFolderStatus(const Folder& source, const Folder& copy) override {
    return Outcome(calls_.CopyFolderStatus(source, copy), copy.path());
  }
  Status MakeLink(const Folder& folder, const std::wstring& name, const std::string& target,
                  const RestoredStatus& status) override {
    return Outcome(calls_.MakeLink(folder, name, target, status), folder.path() + name);
  }
  Status GiveFolderStatus(const Folder& folder, const RestoredStatus& status) override {
    return Outcome(GiveStatusTo(folder.handle(), status), folder.path());
  }
  Status ReadBack(const Folder& folder, const std::wstring& name, ContentDigest* digest) override {
    return Outcome(calls_.ReadBack(folder, name, digest), folder.path() + name);
  }

 private:
  PosixCalls calls_;
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace kelvane::platform
