#include "storage/folder_location.h"

#include <cerrno>

#include "platform/file_attributes.h"
#include "platform/mount_point.h"
#include "platform/system_error.h"

namespace kelvane {

platform::Status FolderLocation::Open() {
  // An unmounted disk's mount point is an empty folder on the system disk:
  // filling it would fill the wrong disk and look like a copy elsewhere.
  if (platform::AwaitsItsFileSystem(where_)) {
    return platform::Status::Error(platform::kErrorProgramFailed,
                                   where_ + L": no disk is mounted there");
  }
  return platform::Fs().OpenFolder(where_, &folder_);
}

platform::Status FolderLocation::List(std::vector<LocationFile>* files) {
  files->clear();
  std::vector<platform::DirectoryEntry> entries;
  if (platform::Status read = platform::Fs().ReadDirectory(folder_, &entries); !read.ok()) {
    return read;
  }
  for (const platform::DirectoryEntry& entry : entries) {
    if (platform::IsPlainFile(entry)) files->push_back({entry.name, entry.size});
  }
  return {};
}

platform::Status FolderLocation::Entry(const std::wstring& name, platform::DirectoryEntry* entry) {
  std::vector<platform::DirectoryEntry> entries;
  if (platform::Status read = platform::Fs().ReadDirectory(folder_, &entries); !read.ok()) {
    return read;
  }
  for (platform::DirectoryEntry& candidate : entries) {
    if (candidate.name != name) continue;
    if (!platform::IsPlainFile(candidate)) break;
    *entry = std::move(candidate);
    return {};
  }
  return platform::Status::Error(ENOENT, folder_.path() + name);
}

platform::Status FolderLocation::Put(const platform::Folder& from,
                                     const platform::DirectoryEntry& file, bool readBack) {
  (void)readBack;  // a folder is always read back: it costs one read of a local disk
  platform::FileSystem& fs = platform::Fs();
  const std::wstring partial = PartialName(file.name);
  // What a killed copy left: only a file, never what a link points at.
  platform::DirectoryEntry left;
  if (Entry(partial, &left).ok()) (void)fs.RemoveFile(folder_, partial);
  platform::FileContent copied;
  platform::Status status = fs.CopyFile(from, file.name, file.id, folder_, partial,
                                        platform::CopyMode::kCreateNew, &copied);
  platform::ContentDigest onDisk;
  if (status.ok()) status = fs.ReadBack(folder_, partial, &onDisk);
  if (status.ok() && !(onDisk == copied.digest)) {
    status = platform::Status::Error(platform::kErrorChangedWhileRead,
                                     folder_.path() + partial + L": the copy reads back otherwise");
  }
  // On the disk before it takes the name: a power loss must not leave the
  // name over bytes the disk never got (reading back only writes them out).
  if (status.ok()) status = WriteOut(partial);
  if (status.ok()) status = fs.Rename(folder_, partial, folder_, file.name);
  if (!status.ok()) (void)fs.RemoveFile(folder_, partial);
  return status;
}

platform::Status FolderLocation::WriteOut(const std::wstring& name) {
  platform::DirectoryEntry entry;
  platform::Status status = Entry(name, &entry);
  std::unique_ptr<platform::FileStream> stream;
  if (status.ok()) status = platform::Fs().OpenFile(folder_, name, entry.id, &stream);
  if (!status.ok()) return status;
  const int error = stream->Sync();
  return error != 0 ? platform::Status::Error(error, folder_.path() + name) : platform::Status();
}

platform::Status FolderLocation::Fetch(const std::wstring& name, const platform::Folder& to) {
  platform::DirectoryEntry entry;
  platform::Status status = Entry(name, &entry);
  if (status.ok()) {
    status = platform::Fs().CopyFile(folder_, name, entry.id, to, name,
                                     platform::CopyMode::kReplace, nullptr);
  }
  return status;
}

platform::Status FolderLocation::Remove(const std::wstring& name) {
  return platform::Fs().RemoveFile(folder_, name);
}

}  // namespace kelvane
