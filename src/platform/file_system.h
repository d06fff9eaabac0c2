// The file-system seam: every file operation of the program goes through the
// FileSystem returned by Fs().
//
// Results are error numbers: 0 for success, otherwise the errno value of the
// failing system call. Paths are wide text; conversion to the OS's byte form
// happens here and nowhere else.
//
// Tests replace the file system with ScopedFileSystem, usually with a subclass of
// FileSystemWrapper that fails one chosen call (a full disk, a vanished file, a
// rename that cannot happen): tests run as root, so permissions cannot provoke
// such failures. Replace it only while no other thread uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_attributes.h"

namespace kelvane::platform {

// A file open for sequential reading. One thread at a time.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `n` bytes into `buffer`; `*got` is 0 at the end of the file.
  virtual int Read(void* buffer, size_t n, size_t* got) = 0;
  virtual int Size(uint64_t* size) = 0;
};

// A file open for sequential writing. One thread at a time. The destructor
// closes a file that is still open and ignores the result.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all `n` bytes or fails.
  virtual int Append(const void* data, size_t n) = 0;
  // Forces written data to the storage device.
  virtual int Sync() = 0;
  virtual int Close() = 0;
};

// What the status of an open file tells a writer that keeps it.
struct FileStatus {
  uint64_t size = 0;
  uint32_t mode = 0;  // permission bits (07777) of the file
  int64_t modifiedSeconds = 0;  // Unix time of the last modification
  uint32_t modifiedNanoseconds = 0;
};

// A file open for reading and, when made with kCreate, writing at any
// position. One thread at a time.
class FileStream {
 public:
  enum Mode { kReadExisting, kCreate };
  enum Origin { kFromStart, kFromCurrent, kFromEnd };

  virtual ~FileStream() = default;
  // Reads up to `n` bytes; `*got` is 0 at the end of the file.
  virtual int Read(void* buffer, size_t n, size_t* got) = 0;
  // Writes all `n` bytes at the current position.
  virtual int Write(const void* data, size_t n) = 0;
  virtual int Seek(int64_t offset, Origin origin, uint64_t* position) = 0;
  virtual int SetSize(uint64_t size) = 0;
  virtual int Status(FileStatus* status) = 0;
  virtual int Sync() = 0;
  virtual int Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual int OpenForReading(const std::wstring& path, std::unique_ptr<ReadableFile>* file) = 0;
  // Creates or truncates a regular file (mode 0666 less the umask).
  virtual int CreateForWriting(const std::wstring& path, std::unique_ptr<WritableFile>* file) = 0;
  // kReadExisting opens a regular file for reading (anything else is refused
  // with EINVAL, and a FIFO never blocks the open); kCreate creates or
  // truncates a file for reading and writing.
  virtual int OpenStream(const std::wstring& path, FileStream::Mode mode,
                         std::unique_ptr<FileStream>* stream) = 0;

  // True when something exists at `path` (a dangling symbolic link counts).
  virtual bool Exists(const std::wstring& path) = 0;
  // Size of the file at `path`, following symbolic links.
  virtual int SizeOf(const std::wstring& path, uint64_t* size) = 0;
  // Removes a file (not a folder).
  virtual int Remove(const std::wstring& path) = 0;
  // Gives the owner write permission, so the file counts as not read-only.
  virtual int ClearReadOnly(const std::wstring& path) = 0;
  // Renames `source` over `target` in one step and makes the rename durable by
  // syncing the target's folder. The caller has synced `source` already.
  virtual int Replace(const std::wstring& source, const std::wstring& target) = 0;
  // Creates `path` and every missing folder above it; an existing folder is fine.
  virtual int CreateFolders(const std::wstring& path) = 0;
  // Every entry of the folder `path` ("." and ".." left out), in the order the
  // file system delivers them. Symbolic links are reported, never followed.
  virtual int ReadDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries) = 0;
  // Copies the regular file `source` to `target`: contents, permission bits and
  // access and modification times. The copy is written under a temporary name
  // in the target's folder and renamed over `target` only when complete, so a
  // read-only old copy never blocks it and a half-written file never stands
  // under the final name. Anything but a regular file is refused (EINVAL).
  virtual int CopyFile(const std::wstring& source, const std::wstring& target) = 0;
  // Bytes available to this user on the file system holding `path`, or, when
  // `path` does not exist yet, its nearest existing ancestor, whose path goes
  // to `queried`.
  virtual int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) = 0;
  // True when both paths name the same existing file or folder.
  virtual bool IsSameFile(const std::wstring& a, const std::wstring& b) = 0;
};

// The file system in use: the real one unless a test has replaced it.
FileSystem& Fs();

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

// Forwards every call to another file system; override what should differ.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}

  int OpenForReading(const std::wstring& path, std::unique_ptr<ReadableFile>* file) override {
    return target_.OpenForReading(path, file);
  }
  int CreateForWriting(const std::wstring& path, std::unique_ptr<WritableFile>* file) override {
    return target_.CreateForWriting(path, file);
  }
  int OpenStream(const std::wstring& path, FileStream::Mode mode,
                 std::unique_ptr<FileStream>* stream) override {
    return target_.OpenStream(path, mode, stream);
  }
  bool Exists(const std::wstring& path) override { return target_.Exists(path); }
  int SizeOf(const std::wstring& path, uint64_t* size) override {
    return target_.SizeOf(path, size);
  }
  int Remove(const std::wstring& path) override { return target_.Remove(path); }
  int ClearReadOnly(const std::wstring& path) override { return target_.ClearReadOnly(path); }
  int Replace(const std::wstring& source, const std::wstring& target) override {
    return target_.Replace(source, target);
  }
  int CreateFolders(const std::wstring& path) override { return target_.CreateFolders(path); }
  int ReadDirectory(const std::wstring& path, std::vector<DirectoryEntry>* entries) override {
    return target_.ReadDirectory(path, entries);
  }
  int CopyFile(const std::wstring& source, const std::wstring& target) override {
    return target_.CopyFile(source, target);
  }
  int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override {
    return target_.FreeSpace(path, bytes, queried);
  }
  bool IsSameFile(const std::wstring& a, const std::wstring& b) override {
    return target_.IsSameFile(a, b);
  }

 protected:
  FileSystem& target() { return target_; }

 private:
  FileSystem& target_;
};

}  // namespace kelvane::platform
