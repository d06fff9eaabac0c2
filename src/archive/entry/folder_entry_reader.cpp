#include "archive/entry/folder_entry_reader.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/folder.h"
#include "util/every_core.h"

namespace kelvane {
namespace {

ArchiveEntry EntryOf(const platform::DirectoryEntry& found, const std::string& name) {
  ArchiveEntry entry;
  entry.name = name;
  entry.size = entry.packedSize = found.size;
  entry.modifiedSeconds = platform::UnixSecondsFromFileTime(found.lastWriteTime);
  if (found.attributes & platform::kAttributeUnixExtension) entry.mode = found.attributes >> 16;
  if (found.attributes & platform::kAttributeReparsePoint) {
    entry.type = EntryType::kLink;
  } else if (found.attributes & platform::kAttributeDirectory) {
    entry.type = EntryType::kFolder;
    entry.name += '/';
  }
  return entry;
}

}  // namespace

platform::Status FolderEntryReader::Open(const platform::Folder& top) {
  folders_.clear();
  opened_.clear();
  places_.clear();
  entries_.clear();
  return Walk(top, "");
}

platform::Status FolderEntryReader::Walk(const platform::Folder& folder,
                                         const std::string& prefix) {
  platform::FileSystem& fs = platform::Fs();
  std::vector<platform::DirectoryEntry> found;
  if (platform::Status listed = fs.ReadDirectory(folder, &found); !listed.ok()) return listed;
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.nativeName < b.nativeName; });
  folders_.push_back(&folder);
  const size_t here = folders_.size() - 1;
  for (const platform::DirectoryEntry& entry : found) {
    if (entry.error != 0) return platform::Status::Error(entry.error, folder.path() + entry.name);
    // Pipes, sockets and devices are never part of a backup, nor opened.
    if (entry.attributes & platform::kAttributeDevice) continue;
    entries_.push_back(EntryOf(entry, prefix + entry.nativeName));
    places_.push_back(Place{here, entry.name, entry.id});
    if (entries_.back().type != EntryType::kFolder) continue;
    opened_.push_back(std::make_unique<platform::Folder>());
    platform::Folder& inside = *opened_.back();
    platform::Status opened = fs.OpenSubfolder(folder, entry.name, &entry.id, &inside);
    if (!opened.ok()) return opened;
    const std::string name = entries_.back().name;
    if (platform::Status walked = Walk(inside, name); !walked.ok()) return walked;
  }
  return {};
}

void FolderEntryReader::ReadAll(const EntryReading& reading) {
  const std::unique_ptr<TaskPool> helpers = CoreHelpers();
  OnEveryCore(helpers.get(), entries_.size(), reading.stop, [&](size_t index) {
    std::unique_ptr<EntrySink> sink = reading.sinkFor(entries_[index]);
    if (!sink) return;
    const EntryType type = entries_[index].type;
    sink->Done(type == EntryType::kFile   ? ReadFile(index, *sink, reading.stop)
               : type == EntryType::kLink ? ReadLink(index, *sink)
                                          : std::wstring());
  });
}

std::wstring FolderEntryReader::ReadLink(size_t index, EntrySink& sink) const {
  const Place& place = places_[index];
  std::string target;
  if (!platform::Fs().ReadLink(*folders_[place.folder], place.name, &target).ok()) {
    return L"cannot be read";
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(target.data());
  return sink.Write(bytes, target.size()) == 0 ? L"" : L"cannot be written";
}

std::wstring FolderEntryReader::ReadFile(size_t index, EntrySink& sink,
                                         const std::atomic<bool>* stop) const {
  const Place& place = places_[index];
  std::unique_ptr<platform::FileStream> file;
  if (!platform::Fs().OpenFile(*folders_[place.folder], place.name, place.id, &file).ok()) {
    return L"cannot be opened";
  }
  std::vector<uint8_t> buffer(1 << 16);
  uint64_t size = 0;
  for (size_t got = 0;;) {
    if (stop && stop->load()) return L"not read to its end (the run was cancelled)";
    if (file->Read(buffer.data(), buffer.size(), &got) != 0) return L"cannot be read";
    if (got == 0) break;
    if (sink.Write(buffer.data(), got) != 0) return L"cannot be written";
    size += got;
  }
  return size == entries_[index].size ? L"" : L"changed while it was read";
}

}  // namespace kelvane
