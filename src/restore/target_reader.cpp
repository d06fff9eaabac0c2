#include "restore/target_reader.h"

#include <algorithm>
#include <cerrno>
#include <future>
#include <mutex>

#include "archive/entry/folder_entry_reader.h"
#include "archive/sevenzip/seven_zip_compressor.h"
#include "archive/sevenzip/seven_zip_entry_reader.h"
#include "archive/zip/zip_entry_reader.h"
#include "manifest/manifest_line.h"
#include "operation/operation_pump.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

class ZipTargetReader final : public TargetReader {
 public:
  ZipTargetReader(const platform::Folder& folder, const platform::DirectoryEntry& entry,
                  const std::wstring& password)
      : reader_(
            [&folder, name = entry.name,
             id = entry.id](std::unique_ptr<platform::FileStream>* view) {
              return platform::Fs().OpenFile(folder, name, id, view).code();
            },
            // The password's UTF-8 bytes, as the archive was written with them.
            platform::ToUtf8(password)) {}
  platform::Status Open() { return reader_.Open(); }
  platform::Status ReadAll(const EntryReading& reading) override {
    reader_.ReadAll(reading);
    return {};
  }

 private:
  ZipEntryReader reader_;
};

class SevenZipTargetReader final : public TargetReader {
 public:
  explicit SevenZipTargetReader(const ReaderKeys& keys)
      : reader_(SevenZip::FindSevenZipLibrary(keys.sevenZipLibrary), keys.password) {}
  platform::Status Open(std::unique_ptr<platform::FileStream> archive,
                        const std::atomic<bool>* stop) {
    return reader_.Open(std::move(archive), stop);
  }
  platform::Status ReadAll(const EntryReading& reading) override {
    return reader_.ReadAll(reading);
  }

 private:
  SevenZip::SevenZipEntryReader reader_;
};

class FolderTargetReader final : public TargetReader {
 public:
  platform::Status Open(const platform::Folder& folder, const platform::DirectoryEntry& entry) {
    if (platform::Status opened =
            platform::Fs().OpenSubfolder(folder, entry.name, &entry.id, &top_);
        !opened.ok()) {
      return opened;
    }
    return reader_.Open(top_);
  }
  platform::Status ReadAll(const EntryReading& reading) override {
    reader_.ReadAll(reading);
    return {};
  }

 private:
  platform::Folder top_;
  FolderEntryReader reader_;
};

// An archive from elsewhere may claim any size: a manifest larger than any a
// run writes (a million files take some 350 MB) is damage, never a reason
// to fill the memory.
constexpr size_t kLargestManifest = size_t{2} << 30;

// Keeps an entry's bytes.
class TextSink final : public EntrySink {
 public:
  TextSink(std::string* text, std::wstring* why) : text_(text), why_(why) {}
  int Write(const uint8_t* data, size_t size) override {
    if (size > kLargestManifest - text_->size()) return EFBIG;
    text_->append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  void Done(const std::wstring& why) override { *why_ = why; }

 private:
  std::string* text_;
  std::wstring* why_;
};

}  // namespace

platform::Status OpenTargetReader(const platform::Folder& folder,
                                  const platform::DirectoryEntry& entry, const ReaderKeys& keys,
                                  const std::atomic<bool>* stop,
                                  std::unique_ptr<TargetReader>* reader) {
  const std::wstring path = folder.path() + entry.name;
  platform::Status opened;
  if (entry.name.ends_with(L".zip")) {
    auto zip = std::make_unique<ZipTargetReader>(folder, entry, keys.password);
    opened = zip->Open();
    *reader = std::move(zip);
  } else if (entry.name.ends_with(L".7z")) {
    auto sevenZip = std::make_unique<SevenZipTargetReader>(keys);
    std::unique_ptr<platform::FileStream> archive;
    opened = platform::Fs().OpenFile(folder, entry.name, entry.id, &archive);
    if (opened.ok()) opened = sevenZip->Open(std::move(archive), stop);
    *reader = std::move(sevenZip);
  } else if ((entry.attributes & platform::kAttributeDirectory) != 0 &&
             (entry.attributes & platform::kAttributeReparsePoint) == 0) {
    auto copy = std::make_unique<FolderTargetReader>();
    opened = copy->Open(folder, entry);
    *reader = std::move(copy);
  } else {
    opened = platform::Status::Error(EINVAL, L"is no ZIP, 7z or folder backup");
  }
  if (opened.ok()) return opened;
  reader->reset();
  const std::wstring& context = opened.context();
  return platform::Status::Error(opened.code(),
                                 context.starts_with(path) ? context : path + L": " + context);
}

platform::Status ReadWantedFiles(TargetReader& reader, WantedFiles& wanted,
                                 const FileSinkFor& sinkFor, const std::atomic<bool>* stop,
                                 const std::function<void()>& tick) {
  std::mutex taking;
  std::future<platform::Status> read = std::async(std::launch::async, [&] {
    EntryReading reading;
    reading.stop = stop;
    reading.sinkFor = [&](const ArchiveEntry& entry) -> std::unique_ptr<EntrySink> {
      if (entry.type != EntryType::kFile) return nullptr;
      const ManifestEntry* file = nullptr;
      {
        std::lock_guard<std::mutex> hold(taking);
        const auto found = wanted.find(entry.name);
        if (found == wanted.end()) return nullptr;
        file = found->second;
        wanted.erase(found);  // an archive that holds a name twice gives it once
      }
      return sinkFor(*file);
    };
    return reader.ReadAll(reading);
  });
  WaitPumping(read, tick);
  return read.get();
}

std::string InnerManifestName() {
  return platform::ToNative(std::wstring(kManifestFolder) + L"/" + kManifestFile);
}

platform::Status ReadInnerManifest(TargetReader& reader, std::string* text) {
  const std::string name = InnerManifestName();
  // Sinks are asked for on every core at once.
  std::atomic<bool> found{false};
  std::wstring why;
  text->clear();
  EntryReading reading;
  reading.sinkFor = [&](const ArchiveEntry& entry) -> std::unique_ptr<EntrySink> {
    if (entry.type != EntryType::kFile || entry.name != name || found.exchange(true)) {
      return nullptr;
    }
    return std::make_unique<TextSink>(text, &why);
  };
  if (platform::Status read = reader.ReadAll(reading); !read.ok()) return read;
  if (!found) return platform::Status::Error(ENOENT, L"holds no manifest");
  if (!why.empty()) return platform::Status::Error(EIO, L"its manifest cannot be read: " + why);
  return {};
}

platform::Status CheckPassword(TargetReader& reader) {
  constexpr int kTries = 3;
  std::atomic<bool> stop{false};
  std::atomic<int> taken{0};
  std::mutex lock;
  int failed = 0;
  std::wstring why;
  EntryReading reading;
  reading.stop = &stop;
  reading.sinkFor = [&](const ArchiveEntry& entry) -> std::unique_ptr<EntrySink> {
    if (entry.type != EntryType::kFile || entry.size == 0 || taken++ >= kTries) return nullptr;
    return std::make_unique<VerdictSink>(
        [&](const std::wstring& verdict, const platform::ContentDigest&) {
          std::lock_guard<std::mutex> hold(lock);
          if (verdict.empty()) {
            stop = true;
          } else {
            ++failed;
            why = verdict;
          }
        });
  };
  if (platform::Status read = reader.ReadAll(reading); !read.ok()) return read;
  if (!stop && failed == std::min(taken.load(), kTries) && failed > 0) {
    return platform::Status::Error(EIO, why);
  }
  return {};
}

}  // namespace kelvane
