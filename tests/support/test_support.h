// Helpers shared by the tests: a temporary folder, small file helpers, and a
// file system that fails chosen calls.
#pragma once

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry/archive_entry.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace kelvane::test {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, without a final separator.
  const std::string& path() const { return path_; }
  // `relative` below the folder, as native bytes and as wide text.
  std::string Native(std::string_view relative) const;
  std::wstring Wide(std::string_view relative) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path`, creating the missing folders above it.
void WriteBytes(const std::string& path, std::string_view bytes);
// The whole content of `path`; the empty text when it cannot be read.
std::string ReadBytes(const std::string& path);
bool PathExists(const std::string& path);
// The names in the folder `path`, sorted; empty when it cannot be read.
std::vector<std::string> NamesIn(const std::string& path);
// True when the folder `path` holds a temporary file of the program's scheme
// made from `stem` (stem + ".kvn-<process>-<n>.tmp").
bool HoldsTemporary(const std::string& path, const std::string& stem);
// The size of that temporary file so far; 0 when there is none.
uint64_t TemporaryBytes(const std::string& path, const std::string& stem);

// The lines of a run log with their "[date time] " prefix removed.
std::vector<std::string> LogLines(const std::string& path);

// Runs a shell command; returns its exit status (-1 when it did not exit).
int RunShell(const std::string& command, std::string* output = nullptr);

// A file in memory, read at most `step` bytes a call. Reading fails with EIO
// once `failAt` bytes were read; `growth` is appended after the first read,
// as if someone wrote to the file while it was read. Status tells its size
// as it is; it seeks only to a place from its start.
class MemoryFile : public platform::FileStream {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes, size_t step = 65536)
      : bytes_(std::move(bytes)), step_(step) {}
  size_t failAt = SIZE_MAX;
  std::vector<uint8_t> growth;

  int Read(void* buffer, size_t n, size_t* got) override;
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override;
  int SetSize(uint64_t) override { return EBADF; }
  int Status(platform::FileStatus* status) override;
  int Sync() override { return 0; }
  int Close() override { return 0; }

 private:
  std::vector<uint8_t> bytes_;
  size_t step_;
  size_t position_ = 0;
};

// A file system that forwards to the real one but lets a test step in. Each
// hook is called before its call with the full path of what the call is about
// (for a call on an open folder: the folder's path followed by the name) and
// returns the errno to fail with, or 0 to let the call go on. A hook may also
// change the real tree first, say swap a file for a symbolic link: that is how
// tests race a run deterministically instead of with sleeps. It is the file
// system in use for its lifetime.
class FaultyFileSystem : public platform::FileSystem {
 public:
  using Hook = std::function<int(const std::wstring& path)>;
  using Stream = std::unique_ptr<platform::FileStream>;
  using Folder = platform::Folder;
  using Name = std::wstring;
  using Status = platform::Status;

  Hook failCreate;         // CreateReplacement (path: the file to replace),
                           // OpenStream(kCreate), CreateFile, CreateTemporary
                           // (path: folder + stem)
  Hook failOpenFolder;     // OpenFolder, OpenSubfolder
  Hook failMakeFolder;     // MakeFolder, CreateFolders
  Hook failReadDirectory;  // by folder path (ending in the separator)
  // Called for each entry a listing reports; a non-zero errno reports the
  // entry as one whose status could not be read.
  Hook failEntry;
  Hook failOpenFile;  // OpenFile, OpenLink, OpenStream(kReadExisting), ReadLink
  Hook failCopy;      // CopyFile, CopyLink, by source path
  Hook failReadBack;  // ReadBack, by path
  Hook failRemove;    // Remove, RemoveFile, RemoveTree
  Hook failSync;      // Sync of any file or stream, SyncFileSystem (by folder)
  // Replace, Rename, RenameUnsynced
  std::function<int(const std::wstring& source, const std::wstring& target)> failReplace;
  // Before each read of a stream opened for reading, with the bytes read so far.
  std::function<int(const std::wstring& path, uint64_t read)> failRead;
  // Before each write to a file the program made, with the bytes it has taken
  // so far; a non-zero errno fails the write (a full disk).
  std::function<int(const std::wstring& path, uint64_t written)> failWrite;
  // When set, the free space every query reports.
  std::function<int(uint64_t* bytes)> freeSpace;
  int writeCalls = 0;

  Status CreateReplacement(const Name& path, Name* temporary, Stream* file) override;
  Status OpenStream(const Name& path, platform::FileStream::Mode mode, Stream* stream) override;
  bool Exists(const Name& path) override { return real_.Exists(path); }
  Status Remove(const Name& path) override;
  Status Replace(const Name& source, const Name& target) override;
  Status CreateFolders(const Name& path) override;
  Status FreeSpace(const Name& path, uint64_t* bytes, Name* queried) override;
  Status OpenFolder(const Name& path, Folder* folder) override;
  Status OpenSubfolder(const Folder& parent, const Name& name, const platform::FileId* expected,
                       Folder* folder) override;
  Status MakeFolder(const Folder& parent, const Name& name, Folder* folder) override;
  Status MakeTemporaryFolder(const Folder& parent, const Name& stem, Name* name,
                             Folder* folder) override {
    return real_.MakeTemporaryFolder(parent, stem, name, folder);
  }
  Status RemoveTree(const Folder& folder, const Name& name) override;
  Status ReadDirectory(const Folder& folder,
                       std::vector<platform::DirectoryEntry>* entries) override;
  Status DescribeFolder(const Folder& folder, platform::DirectoryEntry* entry) override {
    return real_.DescribeFolder(folder, entry);
  }
  Status SyncFileSystem(const Folder& folder) override;
  Status OpenFile(const Folder& folder, const Name& name, const platform::FileId& expected,
                  Stream* stream) override;
  Status OpenLink(const Folder& folder, const Name& name, const platform::FileId& expected,
                  Stream* stream) override;
  Status CreateFile(const Folder& folder, const Name& name, Stream* file) override;
  Status CreateTemporary(const Folder& folder, const Name& stem, Name* name,
                         Stream* stream) override;
  Status Rename(const Folder& from, const Name& fromName, const Folder& to,
                const Name& toName) override;
  Status RenameUnsynced(const Folder& from, const Name& fromName, const Folder& to,
                        const Name& toName) override;
  Status ReadLink(const Folder& folder, const Name& name, std::string* target) override;
  Status RemoveFile(const Folder& folder, const Name& name) override;
  Status CopyFile(const Folder& source, const Name& name, const platform::FileId& expected,
                  const Folder& target, const Name& targetName, platform::CopyMode mode,
                  platform::FileContent* content) override;
  Status CopyLink(const Folder& source, const Name& name, const platform::FileId& expected,
                  const Folder& target, const Name& targetName, platform::CopyMode mode,
                  platform::FileContent* content) override;
  Status CopyFolderStatus(const Folder& source, const Folder& copy) override {
    return real_.CopyFolderStatus(source, copy);
  }
  Status ReadBack(const Folder& folder, const Name& name, platform::ContentDigest* digest) override;
  Status MakeLink(const Folder& folder, const Name& name, const std::string& target,
                  const platform::RestoredStatus& status) override {
    return real_.MakeLink(folder, name, target, status);
  }
  Status GiveFolderStatus(const Folder& folder, const platform::RestoredStatus& status) override {
    return real_.GiveFolderStatus(folder, status);
  }

 private:
  // Wraps a file made by the real file system so its calls meet the hooks;
  // takes `real` only once `error` says the call that made it has returned.
  Status Watch(Status status, Stream&& real, const Name& path, Stream* watched);

  platform::FileSystem& real_ = platform::RealFileSystem();
  platform::ScopedFileSystem installed_{this};
};

// A clock whose wall time is what the test sets, whose pump tick is 1 ms (a
// waiting loop looks at its host often, so no test waits for ticks), and
// whose monotonic time is the machine's unless the test sets it. Put in use
// for its lifetime.
class FakeClock : public platform::Clock {
 public:
  FakeClock() : scoped_(this) {}
  int64_t WallSeconds() override { return wallSeconds; }
  int64_t MonotonicMicros() override;
  std::chrono::milliseconds PumpTick() override { return std::chrono::milliseconds(1); }

  std::atomic<int64_t> wallSeconds{1765101600};  // 2025-12-07 10:00 UTC
  std::atomic<int64_t> monotonicMicros{-1};      // -1: the machine's

 private:
  platform::ScopedClock scoped_;
};

// Waits until `done` holds, which another thread or process brings about
// (never for time itself to pass: that is the clock's); false when `timeout`
// passed first.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// What an archive reader gave for one entry: its bytes and its verdict.
struct KeptEntry {
  std::string bytes;
  std::wstring why = L"(not read)";
};
class KeepingSink final : public EntrySink {
 public:
  explicit KeepingSink(KeptEntry* kept) : kept_(kept) {}
  int Write(const uint8_t* data, size_t size) override {
    kept_->bytes.append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  void Done(const std::wstring& why) override { kept_->why = why; }

 private:
  KeptEntry* kept_;
};

}  // namespace kelvane::test
