// The file-system seam: every file operation of the program goes through the
// FileSystem returned by Fs().
//
// A call of the file system gives a Status: ok, or the errno value of the
// failing system call (or one of the platform's own, system_error.h) with the
// path it was about. An open file's calls give the error number alone: the
// caller knows which file it is. Paths and names are wide text; conversion to
// the OS's byte form happens here and nowhere else.
//
// A run reads its sources and writes its targets through open folders
// (folder.h), never by path: other users may rename and swap what lies in
// their folders while the backup runs.
//
// Tests replace the file system with ScopedFileSystem, usually with one that
// forwards to the real one but fails a chosen call (a full disk, a vanished
// file, a rename that cannot happen): tests run as root, so permissions cannot
// provoke such failures. Replace it only while no other thread uses it.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_attributes.h"
#include "platform/folder.h"
#include "platform/status.h"

namespace kelvane::platform {

// What the status of an open file tells a writer that keeps it.
//
// The members are ordered by size so that no padding comes between them: a
// run keeps one of these for every file it saved.
struct FileStatus {
  uint64_t size = 0;
  int64_t modifiedSeconds = 0;  // Unix time of the last modification
  uint64_t changeTime = 0;      // of the data or status, in ns since 1970; no user can set it
  uint32_t modifiedNanoseconds = 0;
  uint32_t mode = 0;   // permission bits (07777) of the file
  uint32_t owner = 0;  // user and group ids
  uint32_t group = 0;
  bool link = false;    // a symbolic link, whose bytes are its target
  bool sparse = false;  // fewer blocks on disk than its size takes: it has holes
  // Whether a file read between this status and `later` was left alone.
  bool SameVersion(const FileStatus& later) const {
    return size == later.size && modifiedSeconds == later.modifiedSeconds &&
           modifiedNanoseconds == later.modifiedNanoseconds && changeTime == later.changeTime;
  }
};

// How a copy comes to its name: in a folder tree the run has just made and
// nobody else can enter, a file is created at its name (never over anything);
// in one that is updated, it is written under a temporary name in its own
// folder and renamed over the old copy when complete, so a read-only old copy
// never blocks it and a half-written file never stands under the name.
enum class CopyMode { kCreateNew, kReplace };

// Extended attributes by name ("user.origin", "system.posix_acl_access"),
// their values as bytes.
using ExtendedAttributes = std::vector<std::pair<std::string, std::string>>;

// What a copy took of one file: the status of the version it read, the
// SHA-256 of the bytes and the extended attributes it copied.
struct FileContent {
  FileStatus status;
  ContentDigest digest;
  ExtendedAttributes attributes;
};

// What a restore gives back to a file, link or folder it made. The owner and
// group are given where the system lets this user give them (root may); a
// set-user-ID or set-group-ID bit only with its owner or group, as a copy
// keeps them.
struct RestoredStatus {
  uint32_t mode = 0600;  // permission bits, 07777
  int64_t modifiedSeconds = 0;
  uint32_t modifiedNanoseconds = 0;
  uint32_t owner = 0;
  uint32_t group = 0;
  ExtendedAttributes attributes;  // what this user may not set is left out
};

// An open file: read from it, write to it (when it was made by the program),
// at any position. One thread at a time. The destructor closes a file that is
// still open and ignores the result.
class FileStream {
 public:
  enum Mode { kReadExisting, kCreate };
  enum Origin { kFromStart, kFromCurrent, kFromEnd };

  virtual ~FileStream() = default;
  // Reads up to `n` bytes; `*got` is 0 at the end of the file.
  [[nodiscard]] virtual int Read(void* buffer, size_t n, size_t* got) = 0;
  // Writes all `n` bytes at the current position.
  [[nodiscard]] virtual int Write(const void* data, size_t n) = 0;
  [[nodiscard]] virtual int Seek(int64_t offset, Origin origin, uint64_t* position) = 0;
  [[nodiscard]] virtual int SetSize(uint64_t size) = 0;
  [[nodiscard]] virtual int Status(FileStatus* status) = 0;
  [[nodiscard]] virtual int Sync() = 0;
  [[nodiscard]] virtual int Close() = 0;
  // The file's extended attributes this user may read; a stream that is no
  // file on disk has none.
  [[nodiscard]] virtual int ReadAttributes(ExtendedAttributes* attributes) {
    attributes->clear();
    return 0;
  }
  // Gives a file the program made the status of `status` (its times last:
  // nothing written afterwards may change them).
  [[nodiscard]] virtual int GiveStatus(const RestoredStatus& status) {
    (void)status;
    return ENOTSUP;
  }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- By path: job files, settings, and the tests' own files.

  // Creates the file that will replace `path` (Replace), beside it in its
  // folder, named as CreateTemporary names its files with the stem "." + the
  // file's name; its path goes to `*temporary`. It has the permission bits of
  // the regular file at `path` (never set-user-ID and the like), or, when
  // there is none, is for its owner only.
  virtual Status CreateReplacement(const std::wstring& path, std::wstring* temporary,
                                   std::unique_ptr<FileStream>* file) = 0;
  // kReadExisting opens a regular file for reading (a folder is refused with
  // EISDIR, anything else that is not a regular file with EINVAL, and a FIFO
  // never blocks the open). kCreate creates `path` as a new regular file that
  // only its owner may read and write (0600): whatever stood there is removed
  // first and the new file is made exclusively, so a symbolic link planted at
  // the name is never followed.
  virtual Status OpenStream(const std::wstring& path, FileStream::Mode mode,
                            std::unique_ptr<FileStream>* stream) = 0;

  // True when something exists at `path` (a dangling symbolic link counts).
  virtual bool Exists(const std::wstring& path) = 0;
  // Removes a file or a symbolic link (not a folder).
  virtual Status Remove(const std::wstring& path) = 0;
  // Renames `source` over `target` in one step and makes the rename durable by
  // syncing the target's folder. The caller has synced `source` already.
  virtual Status Replace(const std::wstring& source, const std::wstring& target) = 0;
  // Creates `path` and every missing folder above it; an existing folder is
  // fine. Symbolic links on the way are treated as OpenFolder treats them.
  virtual Status CreateFolders(const std::wstring& path) = 0;
  // Bytes available to this user on the file system holding `path`, or, when
  // `path` does not exist yet, its nearest existing ancestor, whose path goes
  // to `queried`.
  virtual Status FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) = 0;

  // --- Through open folders: what a run reads and writes (folder.h says why).

  // Opens the folder at `path` (a relative path: below the current folder),
  // walking it one component at a time, so paths of any length work. A
  // symbolic link on the way is followed only when nobody but root or the
  // user running the program could have placed it or can change it (the
  // folder holding it belongs to one of them and nobody else may write in
  // it); any other link gives kErrorLinkNotFollowed.
  virtual Status OpenFolder(const std::wstring& path, Folder* folder) = 0;
  // The folder `name` inside `parent`, never through a symbolic link (then
  // kErrorLinkNotFollowed). With `expected`, a folder other than that one is
  // refused with kErrorChangedSinceScan.
  virtual Status OpenSubfolder(const Folder& parent, const std::wstring& name,
                               const FileId* expected, Folder* folder) = 0;
  // Creates the folder `name` inside `parent` for its owner only (0700), or
  // opens it when it exists; never through a symbolic link.
  virtual Status MakeFolder(const Folder& parent, const std::wstring& name, Folder* folder) = 0;
  // Creates a new folder for its owner only, named as CreateTemporary names
  // a file, and opens it.
  virtual Status MakeTemporaryFolder(const Folder& parent, const std::wstring& stem,
                                     std::wstring* name, Folder* folder) = 0;
  // Removes `name` inside `folder`: a file or link, or a folder with all it
  // holds; links inside are removed, never followed.
  virtual Status RemoveTree(const Folder& folder, const std::wstring& name) = 0;
  // Every entry of `folder` ("." and ".." left out), in the order the file
  // system delivers them. Symbolic links are reported, never followed. An entry
  // whose status cannot be read is reported with its name and `error`.
  virtual Status ReadDirectory(const Folder& folder, std::vector<DirectoryEntry>* entries) = 0;
  // The open folder itself, as its parent's listing would describe it.
  virtual Status DescribeFolder(const Folder& folder, DirectoryEntry* entry) = 0;
  // Writes out everything written to the file system `folder` is on (data,
  // names, renames): one call after many files costs far less than syncing
  // each of them.
  virtual Status SyncFileSystem(const Folder& folder) = 0;
  // The regular file `name` inside `folder` for reading, only while it is
  // still the file `expected`: a file replaced since the scan (by a link, a
  // FIFO or another file) gives kErrorChangedSinceScan and is never read.
  virtual Status OpenFile(const Folder& folder, const std::wstring& name, const FileId& expected,
                          std::unique_ptr<FileStream>* stream) = 0;
  // The symbolic link `name` inside `folder`, only while it is still the link
  // `expected`, as a stream of its target's text whose status says `link`;
  // the link is never followed.
  virtual Status OpenLink(const Folder& folder, const std::wstring& name, const FileId& expected,
                          std::unique_ptr<FileStream>* stream) = 0;
  // Creates the new file `name` inside `folder` as OpenStream's kCreate does.
  virtual Status CreateFile(const Folder& folder, const std::wstring& name,
                            std::unique_ptr<FileStream>* file) = 0;
  // Creates a new file for reading and writing, for its owner only, named
  // `stem` + ".kvn-<process>-<number>.tmp" at a name nothing else holds;
  // the name goes to `*name`.
  virtual Status CreateTemporary(const Folder& folder, const std::wstring& stem, std::wstring* name,
                                 std::unique_ptr<FileStream>* stream) = 0;
  // Renames `fromName` in `from` over `toName` in `to` in one step (a symbolic
  // link at `toName` is replaced, not followed) and syncs `to`.
  virtual Status Rename(const Folder& from, const std::wstring& fromName, const Folder& to,
                        const std::wstring& toName) = 0;
  // Rename without the sync: for many renames that one SyncFileSystem makes
  // durable together (a restore's thousands of files).
  virtual Status RenameUnsynced(const Folder& from, const std::wstring& fromName, const Folder& to,
                                const std::wstring& toName) = 0;
  // The target of the symbolic link `name` inside `folder`, as its bytes:
  // the link is read, never followed.
  virtual Status ReadLink(const Folder& folder, const std::wstring& name, std::string* target) = 0;
  // Removes the file or symbolic link `name` inside `folder` (not a folder).
  virtual Status RemoveFile(const Folder& folder, const std::wstring& name) = 0;
  // Copies the regular file `name` of `source`, if it is still `expected`
  // (else kErrorChangedSinceScan), to `targetName` in `target`: contents,
  // permission bits, access and modification times, and owner and group where
  // the user running the program may give them (root may). The set-user-ID
  // and set-group-ID bits are kept only where the owner respectively the group
  // was kept. `mode` says how the copy comes to its name; a copy that fails
  // leaves nothing. With `content`, the bytes pass through the program and their
  // SHA-256, as read from the source (holes count as zeros), goes there with
  // the status of the version read.
  virtual Status CopyFile(const Folder& source, const std::wstring& name, const FileId& expected,
                          const Folder& target, const std::wstring& targetName, CopyMode mode,
                          FileContent* content) = 0;
  // Copies the symbolic link `name` of `source`, if it is still the link
  // `expected`, as CopyFile copies a file: a link to the same target (never
  // followed) with the link's owner and times, made as `mode` says; `content`
  // gets its status and the SHA-256 of the target's text.
  virtual Status CopyLink(const Folder& source, const std::wstring& name, const FileId& expected,
                          const Folder& target, const std::wstring& targetName, CopyMode mode,
                          FileContent* content) = 0;
  // Gives the folder `copy` the permission bits, owner and group (where
  // allowed, as CopyFile) and times of the folder `source`; called once the
  // copy's content is in place, as cp -a does.
  virtual Status CopyFolderStatus(const Folder& source, const Folder& copy) = 0;
  // Makes the symbolic link `name` in `folder` to `target`, with the owner
  // and times of `status`: made at a temporary name and renamed over
  // whatever stands at `name` (a link there is replaced, never followed).
  virtual Status MakeLink(const Folder& folder, const std::wstring& name, const std::string& target,
                          const RestoredStatus& status) = 0;
  // Gives the open folder the permission bits, owner, extended attributes and
  // times of `status`; called once all it holds is in place.
  virtual Status GiveFolderStatus(const Folder& folder, const RestoredStatus& status) = 0;
  // Reads the regular file `name` of `folder` back as the disk holds it (its
  // pages are written out and dropped from the cache first, so this is not a
  // read of memory) and gives the SHA-256 of its contents; of a symbolic link,
  // that of its target's text. Writing out is not syncing: the file is not
  // safe from a power loss for having been read back.
  virtual Status ReadBack(const Folder& folder, const std::wstring& name,
                          ContentDigest* digest) = 0;
};

// The one naming scheme of the program's temporary files (CreateTemporary):
// `stem` + ".kvn-<process>-<number>.tmp", and whether `name` is one of them.
std::wstring TemporaryName(std::wstring_view stem, uint64_t process, uint64_t number);
bool IsTemporaryName(std::wstring_view name, std::wstring_view stem);

// The file system in use: the real one unless a test has replaced it.
FileSystem& Fs();

// Writes `bytes` as the file `name` of `folder` in one step: a temporary
// file (CreateTemporary with `stem`) in `work`, on the same file system,
// written, synced and renamed over `name`, so a killed run never leaves half
// a file under the name. On failure the temporary goes and `name` is as it
// was; the status says why.
Status WriteWholeFile(const Folder& work, const std::wstring& stem, const Folder& folder,
                      const std::wstring& name, std::string_view bytes);
// The same with the bytes that `write` writes into the temporary (0 or an
// errno value), for a text too large to be made whole in memory first.
Status WriteWholeFile(const Folder& work, const std::wstring& stem, const Folder& folder,
                      const std::wstring& name, const std::function<int(FileStream&)>& write);

// The real file system of this platform.
FileSystem& RealFileSystem();

// Installs `fs` for its lifetime and restores the previous one afterwards.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace kelvane::platform
