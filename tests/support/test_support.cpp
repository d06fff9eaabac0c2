#include "support/test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "platform/text_codec.h"

namespace kelvane::test {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kelvane-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  // Make everything removable again, whatever a test did to the modes.
  std::error_code ignored;
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink()) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
  // Paths beyond the system's limit defeat remove_all; rm walks folder by folder.
  if (std::filesystem::exists(path_, ignored)) RunShell("rm -rf '" + path_ + "'");
}

std::string TempDir::Native(std::string_view relative) const {
  return relative.empty() ? path_ : path_ + "/" + std::string(relative);
}

std::wstring TempDir::Wide(std::string_view relative) const {
  return platform::FromNative(Native(relative));
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool PathExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::vector<std::string> NamesIn(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (auto it = std::filesystem::directory_iterator(path, ignored);
       it != std::filesystem::directory_iterator(); it.increment(ignored)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// The name of the temporary file of `stem` in `path`; empty when there is none.
std::string TemporaryIn(const std::string& path, const std::string& stem) {
  for (const std::string& name : NamesIn(path)) {
    if (platform::IsTemporaryName(platform::FromNative(name), platform::FromNative(stem))) {
      return name;
    }
  }
  return "";
}

}  // namespace

bool HoldsTemporary(const std::string& path, const std::string& stem) {
  return !TemporaryIn(path, stem).empty();
}

uint64_t TemporaryBytes(const std::string& path, const std::string& stem) {
  const std::string name = TemporaryIn(path, stem);
  std::error_code error;
  const uint64_t size = name.empty() ? 0 : std::filesystem::file_size(path + "/" + name, error);
  return error ? 0 : size;
}

std::vector<std::string> LogLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadBytes(path));
  std::string line;
  while (std::getline(in, line)) {
    const size_t end = line.find("] ");
    lines.push_back(line.rfind('[', 0) == 0 && end != std::string::npos ? line.substr(end + 2)
                                                                        : line);
  }
  return lines;
}

int RunShell(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    if (output) output->append(buffer, got);
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

int Ask(const FaultyFileSystem::Hook& hook, const std::wstring& path) {
  return hook ? hook(path) : 0;
}

class WatchedFileStream : public platform::FileStream {
 public:
  WatchedFileStream(std::unique_ptr<platform::FileStream> target, FaultyFileSystem& fs,
                    std::wstring path)
      : target_(std::move(target)), fs_(fs), path_(std::move(path)) {}
  int Read(void* buffer, size_t n, size_t* got) override {
    if (fs_.failRead) {
      if (const int error = fs_.failRead(path_, read_)) return error;
    }
    const int error = target_->Read(buffer, n, got);
    if (error == 0) read_ += *got;
    return error;
  }
  int Write(const void* data, size_t n) override {
    ++fs_.writeCalls;
    if (fs_.failWrite) {
      if (const int error = fs_.failWrite(path_, written_)) return error;
    }
    written_ += n;
    return target_->Write(data, n);
  }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    return target_->Seek(offset, origin, position);
  }
  int SetSize(uint64_t size) override { return target_->SetSize(size); }
  int Status(platform::FileStatus* status) override { return target_->Status(status); }
  int Sync() override {
    if (const int error = Ask(fs_.failSync, path_)) return error;
    return target_->Sync();
  }
  int Close() override { return target_->Close(); }

 private:
  std::unique_ptr<platform::FileStream> target_;
  FaultyFileSystem& fs_;
  std::wstring path_;
  uint64_t read_ = 0;
  uint64_t written_ = 0;
};

}  // namespace

std::unique_ptr<platform::FileStream> FaultyFileSystem::Watch(
    std::unique_ptr<platform::FileStream> stream, const std::wstring& path) {
  return std::make_unique<WatchedFileStream>(std::move(stream), *this, path);
}

int FaultyFileSystem::CreateReplacement(const std::wstring& path, std::wstring* temporary,
                                        std::unique_ptr<platform::FileStream>* file) {
  if (const int error = Ask(failCreate, path)) return error;
  std::unique_ptr<platform::FileStream> real;
  if (const int error = target().CreateReplacement(path, temporary, &real)) return error;
  *file = Watch(std::move(real), *temporary);
  return 0;
}

int FaultyFileSystem::OpenStream(const std::wstring& path, platform::FileStream::Mode mode,
                                 std::unique_ptr<platform::FileStream>* stream) {
  const bool create = mode == platform::FileStream::kCreate;
  if (const int error = Ask(create ? failCreate : failOpenFile, path)) return error;
  std::unique_ptr<platform::FileStream> real;
  if (const int error = target().OpenStream(path, mode, &real)) return error;
  *stream = Watch(std::move(real), path);
  return 0;
}

int FaultyFileSystem::Remove(const std::wstring& path) {
  if (const int error = Ask(failRemove, path)) return error;
  return target().Remove(path);
}

int FaultyFileSystem::Replace(const std::wstring& source, const std::wstring& destination) {
  if (failReplace) {
    if (const int error = failReplace(source, destination)) return error;
  }
  return target().Replace(source, destination);
}

int FaultyFileSystem::CreateFolders(const std::wstring& path) {
  if (const int error = Ask(failMakeFolder, path)) return error;
  return target().CreateFolders(path);
}

int FaultyFileSystem::FreeSpace(const std::wstring& path, uint64_t* bytes, std::wstring* queried) {
  if (freeSpace) {
    *queried = path;
    return freeSpace(bytes);
  }
  return target().FreeSpace(path, bytes, queried);
}

int FaultyFileSystem::OpenFolder(const std::wstring& path, platform::Folder* folder) {
  if (const int error = Ask(failOpenFolder, path)) return error;
  return target().OpenFolder(path, folder);
}

int FaultyFileSystem::OpenSubfolder(const platform::Folder& parent, const std::wstring& name,
                                    const platform::FileId* expected, platform::Folder* folder) {
  if (const int error = Ask(failOpenFolder, parent.path() + name)) return error;
  return target().OpenSubfolder(parent, name, expected, folder);
}

int FaultyFileSystem::MakeFolder(const platform::Folder& parent, const std::wstring& name,
                                 platform::Folder* folder) {
  if (const int error = Ask(failMakeFolder, parent.path() + name)) return error;
  return target().MakeFolder(parent, name, folder);
}

int FaultyFileSystem::SyncFileSystem(const platform::Folder& folder) {
  if (const int error = Ask(failSync, folder.path())) return error;
  return target().SyncFileSystem(folder);
}

int FaultyFileSystem::ReadDirectory(const platform::Folder& folder,
                                    std::vector<platform::DirectoryEntry>* entries) {
  if (const int error = Ask(failReadDirectory, folder.path())) return error;
  const int error = target().ReadDirectory(folder, entries);
  if (error == 0 && failEntry) {
    for (platform::DirectoryEntry& entry : *entries) {
      if (const int failed = failEntry(folder.path() + entry.name)) {
        // Only the name is known of an entry whose status cannot be read.
        platform::DirectoryEntry unreadable;
        unreadable.name = entry.name;
        unreadable.error = failed;
        entry = std::move(unreadable);
      }
    }
  }
  return error;
}

int FaultyFileSystem::OpenFile(const platform::Folder& folder, const std::wstring& name,
                               const platform::FileId& expected,
                               std::unique_ptr<platform::FileStream>* stream) {
  const std::wstring path = folder.path() + name;
  if (const int error = Ask(failOpenFile, path)) return error;
  std::unique_ptr<platform::FileStream> real;
  if (const int error = target().OpenFile(folder, name, expected, &real)) return error;
  *stream = Watch(std::move(real), path);
  return 0;
}

int FaultyFileSystem::CreateFile(const platform::Folder& folder, const std::wstring& name,
                                 std::unique_ptr<platform::FileStream>* file) {
  const std::wstring path = folder.path() + name;
  if (const int error = Ask(failCreate, path)) return error;
  std::unique_ptr<platform::FileStream> real;
  if (const int error = target().CreateFile(folder, name, &real)) return error;
  *file = Watch(std::move(real), path);
  return 0;
}

int FaultyFileSystem::CreateTemporary(const platform::Folder& folder, const std::wstring& stem,
                                      std::wstring* name,
                                      std::unique_ptr<platform::FileStream>* stream) {
  if (const int error = Ask(failCreate, folder.path() + stem)) return error;
  std::unique_ptr<platform::FileStream> real;
  if (const int error = target().CreateTemporary(folder, stem, name, &real)) return error;
  *stream = Watch(std::move(real), folder.path() + *name);
  return 0;
}

int FaultyFileSystem::Rename(const platform::Folder& from, const std::wstring& fromName,
                             const platform::Folder& to, const std::wstring& toName) {
  if (failReplace) {
    if (const int error = failReplace(from.path() + fromName, to.path() + toName)) return error;
  }
  return target().Rename(from, fromName, to, toName);
}

int FaultyFileSystem::RemoveFile(const platform::Folder& folder, const std::wstring& name) {
  if (const int error = Ask(failRemove, folder.path() + name)) return error;
  return target().RemoveFile(folder, name);
}

int FaultyFileSystem::CopyFile(const platform::Folder& source, const std::wstring& name,
                               const platform::FileId& expected, const platform::Folder& target,
                               const std::wstring& targetName, const platform::Folder& work,
                               uint32_t* checksum) {
  if (const int error = Ask(failCopy, source.path() + name)) return error;
  return FileSystemWrapper::CopyFile(source, name, expected, target, targetName, work, checksum);
}

int FaultyFileSystem::ReadBack(const platform::Folder& folder, const std::wstring& name,
                               uint32_t* checksum) {
  if (const int error = Ask(failReadBack, folder.path() + name)) return error;
  return FileSystemWrapper::ReadBack(folder, name, checksum);
}

int MemoryFile::Read(void* buffer, size_t n, size_t* got) {
  if (position_ >= failAt) return EIO;
  *got = std::min({n, step_, bytes_.size() - position_});
  if (*got > 0) std::memcpy(buffer, bytes_.data() + position_, *got);
  position_ += *got;
  if (!growth.empty()) {
    bytes_.insert(bytes_.end(), growth.begin(), growth.end());
    growth.clear();
  }
  return 0;
}

int MemoryFile::Status(platform::FileStatus* status) {
  *status = {};
  status->size = size_;
  status->mode = 0644;
  return 0;
}

int64_t FakeClock::MonotonicMicros() {
  const int64_t set = monotonicMicros;
  if (set >= 0) return set;
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  // A look every millisecond: the wait is for what another thread does.
  std::mutex lock;
  std::condition_variable never;
  std::unique_lock<std::mutex> hold(lock);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    never.wait_for(hold, std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace kelvane::test
