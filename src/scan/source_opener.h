// Reading the files of a scan result as the scan saw them.
//
// Each folder of the result is opened once, by its path but only while it is
// still the folder the scan read; each file inside it only while it is still
// the file the scan listed. Whatever was swapped in since (a symbolic link, a
// FIFO, another file or folder) is refused with kErrorChangedSinceScan and
// never read: a backup saves nothing from outside its include folders.
// One thread at a time.
#pragma once

#include <memory>

#include "platform/file_system.h"
#include "scan/scan_context.h"

namespace kelvane {

class SourceOpener {
 public:
  // The open folder of `folder`, or an error number when it cannot be opened
  // as the folder the scan read. The folder stays open until another one is
  // entered, so the files of one folder cost one open each.
  int Enter(const ScannedFolder& folder, const platform::Folder** open);

  // Opens `file` of `folder` for reading (a link: its target's text); 0 or an
  // error number.
  int Open(const ScannedFolder& folder, const ScannedFile& file,
           std::unique_ptr<platform::FileStream>* stream);

 private:
  const ScannedFolder* current_ = nullptr;
  platform::Folder folder_;
  int error_ = 0;
};

}  // namespace kelvane
