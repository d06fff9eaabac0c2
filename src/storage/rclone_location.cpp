#include "storage/rclone_location.h"

#include <cerrno>
#include <sstream>

#include "json/json_document.h"
#include "platform/content_hash.h"
#include "platform/program_run.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

// rclone's exit status for "directory not found".
constexpr int kRcloneNoDirectory = 3;

// The last line rclone wrote to standard error, without its date and time.
std::wstring LastLine(const std::string& err) {
  std::istringstream lines(err);
  std::string line;
  std::string last;
  while (std::getline(lines, line)) {
    if (!line.empty()) last = line;
  }
  // "2026/12/08 12:15:19 ERROR : x: ..." loses the first two words.
  if (last.size() > 20 && last[4] == '/' && last[7] == '/' && last[13] == ':') {
    last = last.substr(20);
  }
  return platform::FromNative(last);
}

}  // namespace

platform::Status RcloneLocation::Rclone(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> argv = {"rclone"};
  argv.insert(argv.end(), args.begin(), args.end());
  platform::ProgramOutput output;
  const int started = platform::RunProgramCapturing(argv, keepGoing_, &output);
  if (started == ENOENT) {
    return platform::Status::Error(platform::kErrorProgramFailed,
                                   L"rclone is not installed (Debian package rclone)");
  }
  if (started != 0) return platform::Status::Error(started, L"rclone");
  if (output.stopped) return platform::Status::Error(ECANCELED, where_);
  if (out) *out = std::move(output.out);
  if (output.status == 0) return {};
  lastSaid_.clear();
  std::istringstream lines(output.err);
  for (std::string line; std::getline(lines, line) && lastSaid_.size() < 20;) {
    if (!line.empty()) lastSaid_.push_back(platform::FromNative(line));
  }
  // The status is kept in the code's place for the one case callers tell apart.
  return platform::Status::Error(
      output.status == kRcloneNoDirectory ? ENOENT : platform::kErrorProgramFailed,
      L"rclone: " + LastLine(output.err));
}

std::string RcloneLocation::PathOf(const std::wstring& name) const {
  std::string path = platform::ToUtf8(where_);
  if (!path.ends_with(':') && !path.ends_with('/')) path += '/';
  return path + platform::ToUtf8(name);
}

// rclone says itself, on the first command, when it is missing or knows no
// such remote; asking first would cost every run a connection.
platform::Status RcloneLocation::Open() { return {}; }

platform::Status RcloneLocation::ListAt(const std::string& path, std::vector<LocationFile>* files) {
  files->clear();
  std::string text;
  platform::Status status = Rclone({"lsjson", "--files-only", "--no-mimetype", path}, &text);
  if (status.code() == ENOENT) return {};  // nothing uploaded there yet
  if (!status.ok()) return status;
  JsonDocument listing;
  if (!listing.Parse(text).ok() || !listing.root() || listing.root()->kind != JsonKind::kArray) {
    return platform::Status::Error(platform::kErrorProgramFailed, L"rclone lsjson gave no list");
  }
  for (const auto& item : listing.root()->children) {
    const JsonNode* size = listing.Find(item.get(), "Size");
    std::wstring name;
    if (!listing.GetText(item.get(), "Name", &name) || !size) continue;
    files->push_back({name, static_cast<uint64_t>(size->numberValue)});
  }
  return {};
}

platform::Status RcloneLocation::List(std::vector<LocationFile>* files) {
  return ListAt(PathOf(L""), files);
}

platform::Status RcloneLocation::HashKind(std::string* kind) {
  if (!hashKind_) {
    std::string text;
    const std::string remote = platform::ToUtf8(where_.substr(0, where_.find(L':') + 1));
    if (platform::Status asked = Rclone({"backend", "features", remote}, &text); !asked.ok()) {
      return asked;
    }
    JsonDocument features;
    std::string best;
    if (features.Parse(text).ok()) {
      if (const JsonNode* hashes = features.Find(nullptr, "Hashes")) {
        for (const char* wanted : {"md5", "sha1", "sha256"}) {
          for (const auto& hash : hashes->children) {
            if (hash->stringValue == wanted) best = wanted;
          }
        }
      }
    }
    hashKind_ = best;
  }
  *kind = *hashKind_;
  return {};
}

platform::Status RcloneLocation::CheckUpload(const platform::Folder& from,
                                             const platform::DirectoryEntry& file, bool readBack) {
  const std::string uploaded = PathOf(PartialName(file.name));
  std::vector<LocationFile> there;
  platform::Status status = ListAt(uploaded, &there);
  if (status.ok() && (there.size() != 1 || there[0].size != file.size)) {
    return platform::Status::Error(platform::kErrorProgramFailed,
                                   L"the upload of " + file.name + L" has another size");
  }
  std::string kind;
  if (status.ok()) status = HashKind(&kind);
  if (!status.ok() || (kind.empty() && !readBack)) return status;
  std::vector<std::string> args = {"hashsum", kind.empty() ? "sha256" : kind, uploaded};
  if (kind.empty()) args.insert(args.begin() + 1, "--download");
  std::string said;
  if (status = Rclone(args, &said); !status.ok()) return status;
  platform::NamedHash hash(kind.empty() ? "sha256" : kind);
  std::unique_ptr<platform::FileStream> stream;
  status = platform::Fs().OpenFile(from, file.name, file.id, &stream);
  std::vector<char> buffer(1 << 20);
  for (size_t got = 0; status.ok();) {
    if (const int error = stream->Read(buffer.data(), buffer.size(), &got); error != 0) {
      return platform::Status::Error(error, from.path() + file.name);
    }
    if (got == 0) break;
    hash.Add(buffer.data(), got);
  }
  if (status.ok() && said.substr(0, said.find(' ')) != hash.HexFinish()) {
    return platform::Status::Error(platform::kErrorProgramFailed,
                                   L"the upload of " + file.name + L" has another " +
                                       platform::FromNative(kind.empty() ? "content" : kind));
  }
  return status;
}

platform::Status RcloneLocation::Put(const platform::Folder& from,
                                     const platform::DirectoryEntry& file, bool readBack) {
  const std::string partial = PathOf(PartialName(file.name));
  // --ignore-times: a partial left by a killed upload is never taken as done.
  platform::Status status =
      Rclone({"copyto", "--ignore-times", platform::ToUtf8(from.path() + file.name), partial});
  if (status.ok()) status = CheckUpload(from, file, readBack);
  if (status.ok()) status = Rclone({"moveto", partial, PathOf(file.name)});
  if (!status.ok() && status.code() != ECANCELED) (void)Rclone({"deletefile", partial});
  return status;
}

platform::Status RcloneLocation::Fetch(const std::wstring& name, const platform::Folder& to) {
  return Rclone({"copyto", PathOf(name), platform::ToUtf8(to.path() + name)});
}

platform::Status RcloneLocation::Remove(const std::wstring& name) {
  return Rclone({"deletefile", PathOf(name)});
}

std::vector<std::wstring> RcloneRemotes() {
  platform::ProgramOutput output;
  std::vector<std::wstring> remotes;
  if (platform::RunProgramCapturing({"rclone", "listremotes"}, nullptr, &output) != 0 ||
      output.status != 0) {
    return remotes;
  }
  std::istringstream lines(output.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) remotes.push_back(platform::FromNative(line));
  }
  return remotes;
}

}  // namespace kelvane
