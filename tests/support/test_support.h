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
// as if someone wrote to the file while it was read. Status tells the size
// it had when it was made.
class MemoryFile : public platform::FileStream {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes, size_t step = 65536)
      : bytes_(std::move(bytes)), step_(step), size_(bytes_.size()) {}
  size_t failAt = SIZE_MAX;
  std::vector<uint8_t> growth;

  int Read(void* buffer, size_t n, size_t* got) override;
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t, Origin, uint64_t*) override { return ESPIPE; }
  int SetSize(uint64_t) override { return EBADF; }
  int Status(platform::FileStatus* status) override;
  int Sync() override { return 0; }
  int Close() override { return 0; }

 private:
  std::vector<uint8_t> bytes_;
  size_t step_;
  size_t size_;
  size_t position_ = 0;
};

// Forwards every call to another file system; override what should differ.
class FileSystemWrapper : public platform::FileSystem {
 public:
  explicit FileSystemWrapper(platform::FileSystem& target) : target_(target) {}

  int CreateReplacement(const std::wstring& path, std::wstring* temporary,
                        std::unique_ptr<platform::FileStream>* file) override {
    return target_.CreateReplacement(path, temporary, file);
  }
  int OpenStream(const std::wstring& path, platform::FileStream::Mode mode,
                 std::unique_ptr<platform::FileStream>* stream) override {
    return target_.OpenStream(path, mode, stream);
  }
  bool Exists(const std::wstring& path) override { return target_.Exists(path); }
  int Remove(const std::wstring& path) override { return target_.Remove(path); }
  int Replace(const std::wstring& source, const std::wstring& target) override {
    return target_.Replace(source, target);
  }
  int CreateFolders(const std::wstring& path) override { return target_.CreateFolders(path); }
  int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override {
    return target_.FreeSpace(path, bytes, queried);
  }
  int OpenFolder(const std::wstring& path, platform::Folder* folder) override {
    return target_.OpenFolder(path, folder);
  }
  int OpenSubfolder(const platform::Folder& parent, const std::wstring& name,
                    const platform::FileId* expected, platform::Folder* folder) override {
    return target_.OpenSubfolder(parent, name, expected, folder);
  }
  int MakeFolder(const platform::Folder& parent, const std::wstring& name,
                 platform::Folder* folder) override {
    return target_.MakeFolder(parent, name, folder);
  }
  int ReadDirectory(const platform::Folder& folder,
                    std::vector<platform::DirectoryEntry>* entries) override {
    return target_.ReadDirectory(folder, entries);
  }
  int DescribeFolder(const platform::Folder& folder, platform::DirectoryEntry* entry) override {
    return target_.DescribeFolder(folder, entry);
  }
  int SyncFileSystem(const platform::Folder& folder) override {
    return target_.SyncFileSystem(folder);
  }
  int OpenFile(const platform::Folder& folder, const std::wstring& name,
               const platform::FileId& expected,
               std::unique_ptr<platform::FileStream>* stream) override {
    return target_.OpenFile(folder, name, expected, stream);
  }
  int CreateFile(const platform::Folder& folder, const std::wstring& name,
                 std::unique_ptr<platform::FileStream>* file) override {
    return target_.CreateFile(folder, name, file);
  }
  int CreateTemporary(const platform::Folder& folder, const std::wstring& stem, std::wstring* name,
                      std::unique_ptr<platform::FileStream>* stream) override {
    return target_.CreateTemporary(folder, stem, name, stream);
  }
  int Rename(const platform::Folder& from, const std::wstring& fromName, const platform::Folder& to,
             const std::wstring& toName) override {
    return target_.Rename(from, fromName, to, toName);
  }
  int RemoveFile(const platform::Folder& folder, const std::wstring& name) override {
    return target_.RemoveFile(folder, name);
  }
  int CopyFile(const platform::Folder& source, const std::wstring& name,
               const platform::FileId& expected, const platform::Folder& target,
               const std::wstring& targetName, const platform::Folder& work,
               uint32_t* checksum) override {
    return target_.CopyFile(source, name, expected, target, targetName, work, checksum);
  }
  int ReadBack(const platform::Folder& folder, const std::wstring& name,
               uint32_t* checksum) override {
    return target_.ReadBack(folder, name, checksum);
  }

 protected:
  platform::FileSystem& target() { return target_; }

 private:
  platform::FileSystem& target_;
};

// A file system that forwards to the real one but lets a test step in. Each
// hook is called before its call with the full path of what the call is about
// (for a call on an open folder: the folder's path followed by the name) and
// returns the errno to fail with, or 0 to let the call go on. A hook may also
// change the real tree first, say swap a file for a symbolic link: that is how
// tests race a run deterministically instead of with sleeps.
class FaultyFileSystem : public FileSystemWrapper {
 public:
  using Hook = std::function<int(const std::wstring& path)>;

  FaultyFileSystem() : FileSystemWrapper(platform::RealFileSystem()) {}

  Hook failCreate;         // CreateReplacement (path: the file
                           // to replace), OpenStream(kCreate), CreateFile,
                           // CreateTemporary (path: folder + stem)
  Hook failOpenFolder;     // OpenFolder, OpenSubfolder
  Hook failMakeFolder;     // MakeFolder, CreateFolders
  Hook failReadDirectory;  // by folder path (ending in the separator)
  // Called for each entry a listing reports; a non-zero errno reports the
  // entry as one whose status could not be read.
  Hook failEntry;
  Hook failOpenFile;  // OpenFile, OpenStream(kReadExisting): opening for reading
  Hook failCopy;      // CopyFile, by source path
  Hook failReadBack;  // ReadBack, by path
  Hook failRemove;    // Remove, RemoveFile
  Hook failSync;      // Sync of any file or stream, SyncFileSystem (by folder)
  std::function<int(const std::wstring& source, const std::wstring& target)> failReplace;
  // Replace, Rename
  // Before each read of a stream opened for reading, with the bytes read so far.
  std::function<int(const std::wstring& path, uint64_t read)> failRead;
  // Before each write to a file the program made, with the bytes it has taken
  // so far; a non-zero errno fails the write (a full disk).
  std::function<int(const std::wstring& path, uint64_t written)> failWrite;
  // When set, the free space every query reports.
  std::function<int(uint64_t* bytes)> freeSpace;
  int writeCalls = 0;

  int CreateReplacement(const std::wstring& path, std::wstring* temporary,
                        std::unique_ptr<platform::FileStream>* file) override;
  int OpenStream(const std::wstring& path, platform::FileStream::Mode mode,
                 std::unique_ptr<platform::FileStream>* stream) override;
  int Remove(const std::wstring& path) override;
  int Replace(const std::wstring& source, const std::wstring& target) override;
  int CreateFolders(const std::wstring& path) override;
  int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override;
  int OpenFolder(const std::wstring& path, platform::Folder* folder) override;
  int OpenSubfolder(const platform::Folder& parent, const std::wstring& name,
                    const platform::FileId* expected, platform::Folder* folder) override;
  int MakeFolder(const platform::Folder& parent, const std::wstring& name,
                 platform::Folder* folder) override;
  int ReadDirectory(const platform::Folder& folder,
                    std::vector<platform::DirectoryEntry>* entries) override;
  int SyncFileSystem(const platform::Folder& folder) override;
  int OpenFile(const platform::Folder& folder, const std::wstring& name,
               const platform::FileId& expected,
               std::unique_ptr<platform::FileStream>* stream) override;
  int CreateFile(const platform::Folder& folder, const std::wstring& name,
                 std::unique_ptr<platform::FileStream>* file) override;
  int CreateTemporary(const platform::Folder& folder, const std::wstring& stem, std::wstring* name,
                      std::unique_ptr<platform::FileStream>* stream) override;
  int Rename(const platform::Folder& from, const std::wstring& fromName, const platform::Folder& to,
             const std::wstring& toName) override;
  int RemoveFile(const platform::Folder& folder, const std::wstring& name) override;
  int CopyFile(const platform::Folder& source, const std::wstring& name,
               const platform::FileId& expected, const platform::Folder& target,
               const std::wstring& targetName, const platform::Folder& work,
               uint32_t* checksum) override;
  int ReadBack(const platform::Folder& folder, const std::wstring& name,
               uint32_t* checksum) override;

 private:
  // Wraps a file made by the real file system so its calls meet the hooks.
  std::unique_ptr<platform::FileStream> Watch(std::unique_ptr<platform::FileStream> stream,
                                              const std::wstring& path);
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
