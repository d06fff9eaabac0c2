// Helpers shared by the tests: a temporary folder, small file helpers, and a
// file system that fails chosen calls.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// The lines of a run log with their "[date time] " prefix removed.
std::vector<std::string> LogLines(const std::string& path);

// Runs a shell command; returns its exit status (-1 when it did not exit).
int RunShell(const std::string& command, std::string* output = nullptr);

// A file system that forwards to the real one but lets a test fail calls:
// each hook, when set, returns the errno to fail with or 0 to let the call pass.
class FaultyFileSystem : public platform::FileSystemWrapper {
 public:
  FaultyFileSystem() : FileSystemWrapper(platform::RealFileSystem()) {}

  std::function<int(const std::wstring& path)> failCreate;
  std::function<int(const std::wstring& path)> failAppend;  // by file created
  std::function<int(const std::wstring& source, const std::wstring& target)> failReplace;
  std::function<int(const std::wstring& path)> failReadDirectory;
  // Called before each copy with its source; a non-zero errno fails it.
  std::function<int(const std::wstring& source)> failCopy;
  // Called before a file stream is opened; a non-zero errno fails it.
  std::function<int(const std::wstring& path)> failOpenStream;
  // Called before each write to a stream opened for writing, with the bytes it
  // has taken so far; a non-zero errno fails the write (a full disk).
  std::function<int(const std::wstring& path, uint64_t written)> failStreamWrite;
  // When set, the free space every query reports.
  std::function<int(uint64_t* bytes)> freeSpace;
  int appendCalls = 0;

  int CreateForWriting(const std::wstring& path,
                       std::unique_ptr<platform::WritableFile>* file) override;
  int Replace(const std::wstring& source, const std::wstring& target) override;
  int ReadDirectory(const std::wstring& path,
                    std::vector<platform::DirectoryEntry>* entries) override;
  int CopyFile(const std::wstring& source, const std::wstring& target) override;
  int FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) override;
  int OpenStream(const std::wstring& path, platform::FileStream::Mode mode,
                 std::unique_ptr<platform::FileStream>* stream) override;
};

}  // namespace kelvane::test
