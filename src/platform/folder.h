// A folder held open, through which a run reads its sources and writes its
// targets.
//
// Names are looked up inside the folder itself, never again through its path:
// once a folder is open, renaming it or swapping a folder on its path for a
// symbolic link cannot redirect what is read from or written into it. That is
// the only safe way to work in trees that other users change while the backup
// runs. It also means no path length limit applies below an open folder.
//
// Made by the file system (file_system.h); move-only; the folder is closed
// when the object goes. Several threads may use one Folder at once.
#pragma once

#include <string>

#include "platform/file_attributes.h"

namespace kelvane::platform {

class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  bool IsOpen() const { return handle_ >= 0; }
  // The path the folder was opened as, ending in the separator; for messages
  // and for the names of what lies inside, never to open anything again.
  const std::wstring& path() const { return path_; }
  const FileId& id() const { return id_; }

  // For the platform's implementation only: takes over an open handle.
  Folder(int handle, std::wstring path, FileId id);
  int handle() const { return handle_; }

 private:
  void Close();

  int handle_ = -1;
  std::wstring path_;
  FileId id_;
};

}  // namespace kelvane::platform
