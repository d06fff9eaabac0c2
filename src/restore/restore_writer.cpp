#include "restore/restore_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/run_log.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

// Enough open folders for the places one archive's entries are spread over,
// few enough never to run out of descriptors.
constexpr size_t kOpenFolders = 256;

std::wstring StatusWords(const platform::Status& status) {
  return ErrorText(static_cast<uint32_t>(status.code()));
}

class FileRestoreSink final : public EntrySink {
 public:
  FileRestoreSink(RestoreWriter& writer, const ManifestEntry& file,
                  std::shared_ptr<const platform::Folder> folder, std::wstring name,
                  std::wstring temporary, std::unique_ptr<platform::FileStream> stream)
      : writer_(writer),
        file_(file),
        folder_(std::move(folder)),
        name_(std::move(name)),
        temporary_(std::move(temporary)),
        stream_(std::move(stream)) {}

  // A sink the reader gave up on (a cancel, a failed archive) leaves nothing.
  ~FileRestoreSink() override {
    if (stream_) Discard(L"");
  }

  int Write(const uint8_t* data, size_t size) override {
    if (error_ != 0) return error_;
    written_ += size;
    // More than the manifest says is damage, never a reason to fill the disk.
    if (written_ > file_.size) return error_ = EFBIG;
    hash_.Add(data, size);
    error_ = file_.sparse ? WriteWithHoles(data, size) : stream_->Write(data, size);
    return error_;
  }

  void Done(const std::wstring& why) override {
    if (!why.empty()) return Discard(why);
    if (error_ != 0)
      return Discard(error_ == EFBIG ? L"it holds more than its manifest says"
                                     : L"it cannot be written." + ErrorText(error_));
    if (written_ != file_.size || hash_.Finish().sha256 != file_.sha256) {
      return Discard(L"its bytes are not those the backup read (SHA-256 differs)");
    }
    // A hole at the end is no write: the size makes it.
    int error = file_.sparse ? stream_->SetSize(written_) : 0;
    if (error == 0) error = stream_->GiveStatus(writer_.StatusOf(file_));
    const int closed = stream_->Close();
    stream_.reset();
    if (error == 0) error = closed;
    platform::Status renamed =
        error == 0 ? platform::Fs().RenameUnsynced(*folder_, temporary_, *folder_, name_)
                   : platform::Status::Error(error, L"");
    if (!renamed.ok()) {
      (void)platform::Fs().RemoveFile(*folder_, temporary_);
      return writer_.Fail(file_.path, L"it cannot be put in place." + StatusWords(renamed));
    }
    writer_.FileRestored(file_.size);
  }

 private:
  // A file that had holes gets them back: a block of zeros is skipped, not
  // written, as cp --sparse=always does.
  int WriteWithHoles(const uint8_t* data, size_t size) {
    constexpr size_t kBlock = 4096;
    static const uint8_t kZeros[kBlock] = {};
    size_t run = 0;  // where the bytes not yet written begin
    for (size_t at = 0; at < size;) {
      const size_t length = std::min(kBlock, size - at);
      if (std::memcmp(data + at, kZeros, length) == 0) {
        if (const int error = at > run ? stream_->Write(data + run, at - run) : 0; error != 0) {
          return error;
        }
        if (const int error = stream_->Seek(static_cast<int64_t>(length),
                                            platform::FileStream::kFromCurrent, nullptr);
            error != 0) {
          return error;
        }
        run = at + length;
      }
      at += length;
    }
    return size > run ? stream_->Write(data + run, size - run) : 0;
  }

  void Discard(const std::wstring& why) {
    stream_.reset();
    (void)platform::Fs().RemoveFile(*folder_, temporary_);
    if (!why.empty()) writer_.Fail(file_.path, why);
  }

  RestoreWriter& writer_;
  const ManifestEntry& file_;
  std::shared_ptr<const platform::Folder> folder_;
  std::wstring name_;
  std::wstring temporary_;
  std::unique_ptr<platform::FileStream> stream_;
  platform::Sha256 hash_;
  uint64_t written_ = 0;
  int error_ = 0;
};

}  // namespace

RestoreWriter::RestoreWriter(const platform::Folder& top, RunLog& log) : top_(top), log_(log) {}

void RestoreWriter::Fail(const std::string& path, const std::wstring& why) {
  ++failures_;
  log_.WriteLogFormat(L"Not restored: %s: %s", platform::FromNative(path), why);
}

void RestoreWriter::FileRestored(uint64_t bytes) {
  ++restoredFiles_;
  restoredBytes_ += bytes;
}

platform::RestoredStatus RestoreWriter::StatusOf(const ManifestEntry& entry) {
  platform::RestoredStatus status;
  status.mode = entry.mode & 07777;
  status.modifiedSeconds = entry.mtimeSeconds;
  status.modifiedNanoseconds = entry.mtimeNanoseconds;
  status.attributes = entry.attributes;
  // By name where this system knows it, else by number; each name looked up once.
  auto idOf = [this](const std::string& name, uint32_t number,
                     std::unordered_map<std::string, uint32_t>& known,
                     bool (*lookUp)(const std::string&, uint32_t*)) {
    if (name.empty()) return number;
    std::lock_guard<std::mutex> hold(lock_);
    auto found = known.find(name);
    if (found == known.end()) {
      uint32_t id = number;
      if (!lookUp(name, &id)) id = number;
      found = known.emplace(name, id).first;
    }
    return found->second;
  };
  status.owner = idOf(entry.user, entry.uid, users_, platform::UserIdOf);
  status.group = idOf(entry.group, entry.gid, groups_, platform::GroupIdOf);
  return status;
}

platform::Status RestoreWriter::OpenParent(const std::string& path,
                                           std::shared_ptr<const platform::Folder>* parent,
                                           std::wstring* name) {
  const size_t slash = path.rfind('/');
  *name = platform::FromNative(slash == std::string::npos ? path : path.substr(slash + 1));
  const std::string above = slash == std::string::npos ? std::string() : path.substr(0, slash);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (const auto known = folders_.find(above); known != folders_.end()) {
      *parent = known->second;
      return {};
    }
  }
  // The top itself is the writer's, never opened again by its path.
  if (above.empty()) {
    *parent =
        std::shared_ptr<const platform::Folder>(std::shared_ptr<const platform::Folder>(), &top_);
    return {};
  }
  // From the nearest open folder above it (the top at worst), one component
  // at a time: MakeFolder never follows a link. Each folder on the way stays
  // open too, so a folder whose parent was made before costs one MakeFolder
  // (an archive lists a folder's subfolders before its own files).
  std::shared_ptr<const platform::Folder> folder;
  size_t start = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (size_t cut = above.rfind('/'); cut != std::string::npos && cut > 0;
         cut = above.rfind('/', cut - 1)) {
      if (const auto known = folders_.find(above.substr(0, cut)); known != folders_.end()) {
        folder = known->second;
        start = cut + 1;
        break;
      }
    }
  }
  while (start < above.size()) {
    const size_t end = std::min(above.find('/', start), above.size());
    auto next = std::make_shared<platform::Folder>();
    if (platform::Status made = platform::Fs().MakeFolder(
            folder ? *folder : top_, platform::FromNative(above.substr(start, end - start)),
            next.get());
        !made.ok()) {
      return made;
    }
    folder = std::move(next);
    std::lock_guard<std::mutex> hold(lock_);
    // Each holds a descriptor: when they are too many, all go (evicting one
    // at a time, the map would mostly give up the one just made).
    if (folders_.size() >= kOpenFolders) folders_.clear();
    folders_[above.substr(0, end)] = folder;
    start = end + 1;
  }
  *parent = std::move(folder);
  return {};
}

bool RestoreWriter::MakeFolder(const ManifestEntry& folder) {
  std::shared_ptr<const platform::Folder> parent;
  std::wstring name;
  platform::Status made = OpenParent(folder.path + "/", &parent, &name);
  if (made.ok()) return true;
  ++failures_;
  log_.WriteLogFormat(L"Not restored: %s: the folder cannot be made.%s",
                      platform::FromNative(folder.path), StatusWords(made));
  return false;
}

bool RestoreWriter::MakeLink(const ManifestEntry& link) {
  std::shared_ptr<const platform::Folder> parent;
  std::wstring name;
  platform::Status made = OpenParent(link.path, &parent, &name);
  if (made.ok()) made = platform::Fs().MakeLink(*parent, name, link.target, StatusOf(link));
  if (made.ok()) return true;
  Fail(link.path, L"the link cannot be made." + StatusWords(made));
  return false;
}

std::unique_ptr<EntrySink> RestoreWriter::FileSink(const ManifestEntry& file) {
  std::shared_ptr<const platform::Folder> parent;
  std::wstring name;
  platform::Status made = OpenParent(file.path, &parent, &name);
  std::wstring temporary;
  std::unique_ptr<platform::FileStream> stream;
  if (made.ok()) made = platform::Fs().CreateTemporary(*parent, L"", &temporary, &stream);
  if (!made.ok()) {
    Fail(file.path, L"it cannot be written." + StatusWords(made));
    return nullptr;
  }
  return std::make_unique<FileRestoreSink>(*this, file, std::move(parent), std::move(name),
                                           std::move(temporary), std::move(stream));
}

void RestoreWriter::FinishFolders(const std::vector<const ManifestEntry*>& folders) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    folders_.clear();
  }
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    std::shared_ptr<const platform::Folder> parent;
    std::wstring name;
    platform::Folder own;
    platform::Status given = OpenParent((*folder)->path, &parent, &name);
    if (given.ok()) given = platform::Fs().OpenSubfolder(*parent, name, nullptr, &own);
    if (given.ok()) given = platform::Fs().GiveFolderStatus(own, StatusOf(**folder));
    if (!given.ok()) {
      ++failures_;
      log_.WriteLogFormat(L"Folder %s: its mode, owner or times cannot be given.%s",
                          platform::FromNative((*folder)->path), StatusWords(given));
    }
  }
}

}  // namespace kelvane
