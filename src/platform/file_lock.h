// An exclusive lock on a lock file that one process at a time can hold, so
// that two runs of one job never write the same target at the same time.
//
// The system drops the lock with the process, however it ends: a killed run
// leaves at most the empty file, which the next run takes over. The holder
// removes the file when it lets go; a process that locked a file removed just
// before notices, because the name then leads to another file, and tries
// again. One owner; the lock is released when the object goes.
#pragma once

#include <string>

#include "platform/folder.h"

namespace kelvane::platform {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock on the file `name` in `folder`, which is made (for its
  // owner only) when missing; never through a symbolic link, and only on a
  // regular file. Returns 0, EWOULDBLOCK when another process holds the lock,
  // or the errno value. Does not wait.
  [[nodiscard]] int TryLock(const Folder& folder, const std::wstring& name);

 private:
  void Release();

  int fd_ = -1;
  int folderFd_ = -1;  // a descriptor of its own: the lock may outlive the Folder
  std::string name_;
};

}  // namespace kelvane::platform
