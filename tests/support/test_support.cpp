#include "support/test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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

class CountingWritableFile : public platform::WritableFile {
 public:
  CountingWritableFile(std::unique_ptr<platform::WritableFile> target, FaultyFileSystem& fs,
                       std::wstring path)
      : target_(std::move(target)), fs_(fs), path_(std::move(path)) {}
  int Append(const void* data, size_t n) override {
    ++fs_.appendCalls;
    if (fs_.failAppend) {
      if (const int error = fs_.failAppend(path_)) return error;
    }
    return target_->Append(data, n);
  }
  int Sync() override { return target_->Sync(); }
  int Close() override { return target_->Close(); }

 private:
  std::unique_ptr<platform::WritableFile> target_;
  FaultyFileSystem& fs_;
  std::wstring path_;
};

}  // namespace

int FaultyFileSystem::CreateForWriting(const std::wstring& path,
                                       std::unique_ptr<platform::WritableFile>* file) {
  if (failCreate) {
    if (const int error = failCreate(path)) return error;
  }
  std::unique_ptr<platform::WritableFile> real;
  if (const int error = target().CreateForWriting(path, &real)) return error;
  *file = std::make_unique<CountingWritableFile>(std::move(real), *this, path);
  return 0;
}

int FaultyFileSystem::Replace(const std::wstring& source, const std::wstring& target) {
  if (failReplace) {
    if (const int error = failReplace(source, target)) return error;
  }
  return FileSystemWrapper::Replace(source, target);
}

int FaultyFileSystem::ReadDirectory(const std::wstring& path,
                                    std::vector<platform::DirectoryEntry>* entries) {
  if (failReadDirectory) {
    if (const int error = failReadDirectory(path)) return error;
  }
  return FileSystemWrapper::ReadDirectory(path, entries);
}

int FaultyFileSystem::CopyFile(const std::wstring& source, const std::wstring& target) {
  if (failCopy) {
    if (const int error = failCopy(source)) return error;
  }
  return FileSystemWrapper::CopyFile(source, target);
}

int FaultyFileSystem::FreeSpace(const std::wstring& path, uint64_t* bytes,
                                std::wstring* queried) {
  if (freeSpace) {
    *queried = path;
    return freeSpace(bytes);
  }
  return FileSystemWrapper::FreeSpace(path, bytes, queried);
}

namespace {

class FaultyFileStream : public platform::FileStream {
 public:
  FaultyFileStream(std::unique_ptr<platform::FileStream> target, FaultyFileSystem& fs,
                   std::wstring path)
      : target_(std::move(target)), fs_(fs), path_(std::move(path)) {}
  int Read(void* buffer, size_t n, size_t* got) override { return target_->Read(buffer, n, got); }
  int Write(const void* data, size_t n) override {
    if (fs_.failStreamWrite) {
      if (const int error = fs_.failStreamWrite(path_, written_)) return error;
    }
    written_ += n;
    return target_->Write(data, n);
  }
  int Seek(int64_t offset, Origin origin, uint64_t* position) override {
    return target_->Seek(offset, origin, position);
  }
  int SetSize(uint64_t size) override { return target_->SetSize(size); }
  int Status(platform::FileStatus* status) override { return target_->Status(status); }
  int Sync() override { return target_->Sync(); }
  int Close() override { return target_->Close(); }

 private:
  std::unique_ptr<platform::FileStream> target_;
  FaultyFileSystem& fs_;
  std::wstring path_;
  uint64_t written_ = 0;
};

}  // namespace

int FaultyFileSystem::OpenStream(const std::wstring& path, platform::FileStream::Mode mode,
                                 std::unique_ptr<platform::FileStream>* stream) {
  if (failOpenStream) {
    if (const int error = failOpenStream(path)) return error;
  }
  std::unique_ptr<platform::FileStream> real;
  if (const int error = FileSystemWrapper::OpenStream(path, mode, &real)) return error;
  *stream = std::make_unique<FaultyFileStream>(std::move(real), *this, path);
  return 0;
}

}  // namespace kelvane::test
