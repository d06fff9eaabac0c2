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

int Asked(const FaultyFileSystem::Hook& hook, const std::wstring& path) {
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
    if (const int error = Asked(fs_.failSync, path_)) return error;
    return target_->Sync();
  }
  int Close() override { return target_->Close(); }
  int ReadAttributes(platform::ExtendedAttributes* attributes) override {
    return target_->ReadAttributes(attributes);
  }
  int GiveStatus(const platform::RestoredStatus& status) override {
    return target_->GiveStatus(status);
  }

 private:
  std::unique_ptr<platform::FileStream> target_;
  FaultyFileSystem& fs_;
  std::wstring path_;
  uint64_t read_ = 0;
  uint64_t written_ = 0;
};

}  // namespace

namespace {

// The status of a hook's answer: 0 lets the call go on.
platform::Status Refused(int error, const std::wstring& about) {
  return error == 0 ? platform::Status() : platform::Status::Error(error, about);
}

platform::Status Ask(const FaultyFileSystem::Hook& hook, const std::wstring& about) {
  return Refused(Asked(hook, about), about);
}

}  // namespace

using Status = platform::Status;

Status FaultyFileSystem::Watch(Status status, Stream&& real, const Name& path, Stream* watched) {
  if (status.ok()) *watched = std::make_unique<WatchedFileStream>(std::move(real), *this, path);
  return status;
}

namespace {

// The hook's answer for `path` when it refuses the call, else the call's.
template <class Call>
Status Guarded(const FaultyFileSystem::Hook& hook, const std::wstring& path, Call call) {
  if (Status refused = Ask(hook, path); !refused.ok()) return refused;
  return call();
}

}  // namespace

Status FaultyFileSystem::CreateReplacement(const Name& path, Name* temporary, Stream* file) {
  return Guarded(failCreate, path, [&] {
    Stream real;
    Status status = real_.CreateReplacement(path, temporary, &real);
    return Watch(std::move(status), std::move(real), *temporary, file);
  });
}

Status FaultyFileSystem::OpenStream(const Name& path, platform::FileStream::Mode mode,
                                    Stream* stream) {
  const Hook& hook = mode == platform::FileStream::kCreate ? failCreate : failOpenFile;
  return Guarded(hook, path, [&] {
    Stream real;
    return Watch(real_.OpenStream(path, mode, &real), std::move(real), path, stream);
  });
}

Status FaultyFileSystem::Remove(const Name& path) {
  return Guarded(failRemove, path, [&] { return real_.Remove(path); });
}

Status FaultyFileSystem::Replace(const Name& source, const Name& target) {
  if (Status refused = Refused(failReplace ? failReplace(source, target) : 0, target);
      !refused.ok()) {
    return refused;
  }
  return real_.Replace(source, target);
}

Status FaultyFileSystem::CreateFolders(const Name& path) {
  return Guarded(failMakeFolder, path, [&] { return real_.CreateFolders(path); });
}

Status FaultyFileSystem::FreeSpace(const Name& path, uint64_t* bytes, Name* queried) {
  if (!freeSpace) return real_.FreeSpace(path, bytes, queried);
  *queried = path;
  return Refused(freeSpace(bytes), path);
}

Status FaultyFileSystem::OpenFolder(const Name& path, Folder* folder) {
  return Guarded(failOpenFolder, path, [&] { return real_.OpenFolder(path, folder); });
}

Status FaultyFileSystem::OpenSubfolder(const Folder& parent, const Name& name,
                                       const platform::FileId* expected, Folder* folder) {
  return Guarded(failOpenFolder, parent.path() + name,
                 [&] { return real_.OpenSubfolder(parent, name, expected, folder); });
}

Status FaultyFileSystem::MakeFolder(const Folder& parent, const Name& name, Folder* folder) {
  return Guarded(failMakeFolder, parent.path() + name,
                 [&] { return real_.MakeFolder(parent, name, folder); });
}

Status FaultyFileSystem::SyncFileSystem(const Folder& folder) {
  return Guarded(failSync, folder.path(), [&] { return real_.SyncFileSystem(folder); });
}

Status FaultyFileSystem::ReadDirectory(const Folder& folder,
                                       std::vector<platform::DirectoryEntry>* entries) {
  return Guarded(failReadDirectory, folder.path(), [&] {
    Status status = real_.ReadDirectory(folder, entries);
    for (platform::DirectoryEntry& entry : *entries) {
      if (const int failed = status.ok() ? Asked(failEntry, folder.path() + entry.name) : 0) {
        // Only the name is known of an entry whose status cannot be read.
        platform::DirectoryEntry unreadable;
        unreadable.name = entry.name;
        unreadable.error = failed;
        entry = std::move(unreadable);
      }
    }
    return status;
  });
}

Status FaultyFileSystem::OpenFile(const Folder& folder, const Name& name,
                                  const platform::FileId& expected, Stream* stream) {
  const Name path = folder.path() + name;
  return Guarded(failOpenFile, path, [&] {
    Stream real;
    return Watch(real_.OpenFile(folder, name, expected, &real), std::move(real), path, stream);
  });
}

Status FaultyFileSystem::OpenLink(const Folder& folder, const Name& name,
                                  const platform::FileId& expected, Stream* stream) {
  return Guarded(failOpenFile, folder.path() + name,
                 [&] { return real_.OpenLink(folder, name, expected, stream); });
}

Status FaultyFileSystem::CreateFile(const Folder& folder, const Name& name, Stream* file) {
  const Name path = folder.path() + name;
  return Guarded(failCreate, path, [&] {
    Stream real;
    return Watch(real_.CreateFile(folder, name, &real), std::move(real), path, file);
  });
}

Status FaultyFileSystem::CreateTemporary(const Folder& folder, const Name& stem, Name* name,
                                         Stream* stream) {
  return Guarded(failCreate, folder.path() + stem, [&] {
    Stream real;
    Status status = real_.CreateTemporary(folder, stem, name, &real);
    return Watch(std::move(status), std::move(real), folder.path() + *name, stream);
  });
}

Status FaultyFileSystem::Rename(const Folder& from, const Name& fromName, const Folder& to,
                                const Name& toName) {
  const Name source = from.path() + fromName, target = to.path() + toName;
  if (Status refused = Refused(failReplace ? failReplace(source, target) : 0, target);
      !refused.ok()) {
    return refused;
  }
  return real_.Rename(from, fromName, to, toName);
}

Status FaultyFileSystem::RenameUnsynced(const Folder& from, const Name& fromName, const Folder& to,
                                        const Name& toName) {
  const Name source = from.path() + fromName, target = to.path() + toName;
  if (Status refused = Refused(failReplace ? failReplace(source, target) : 0, target);
      !refused.ok()) {
    return refused;
  }
  return real_.RenameUnsynced(from, fromName, to, toName);
}

Status FaultyFileSystem::ReadLink(const Folder& folder, const Name& name, std::string* target) {
  return Guarded(failOpenFile, folder.path() + name,
                 [&] { return real_.ReadLink(folder, name, target); });
}

Status FaultyFileSystem::RemoveFile(const Folder& folder, const Name& name) {
  return Guarded(failRemove, folder.path() + name, [&] { return real_.RemoveFile(folder, name); });
}

Status FaultyFileSystem::RemoveTree(const Folder& folder, const Name& name) {
  return Guarded(failRemove, folder.path() + name, [&] { return real_.RemoveTree(folder, name); });
}

Status FaultyFileSystem::CopyFile(const Folder& source, const Name& name,
                                  const platform::FileId& expected, const Folder& target,
                                  const Name& targetName, platform::CopyMode mode,
                                  platform::FileContent* content) {
  return Guarded(failCopy, source.path() + name, [&] {
    return real_.CopyFile(source, name, expected, target, targetName, mode, content);
  });
}

Status FaultyFileSystem::CopyLink(const Folder& source, const Name& name,
                                  const platform::FileId& expected, const Folder& target,
                                  const Name& targetName, platform::CopyMode mode,
                                  platform::FileContent* content) {
  return Guarded(failCopy, source.path() + name, [&] {
    return real_.CopyLink(source, name, expected, target, targetName, mode, content);
  });
}

Status FaultyFileSystem::ReadBack(const Folder& folder, const Name& name,
                                  platform::ContentDigest* digest) {
  return Guarded(failReadBack, folder.path() + name,
                 [&] { return real_.ReadBack(folder, name, digest); });
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

int MemoryFile::Seek(int64_t offset, Origin origin, uint64_t* position) {
  if (origin != kFromStart || offset < 0) return ESPIPE;
  position_ = std::min(static_cast<size_t>(offset), bytes_.size());
  if (position) *position = position_;
  return 0;
}

int MemoryFile::Status(platform::FileStatus* status) {
  *status = {};
  status->size = bytes_.size();
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
