#include "scan/source_opener.h"

#include "platform/system_error.h"

namespace kelvane {

int SourceOpener::Enter(const ScannedFolder& folder, const platform::Folder** open) {
  if (current_ != &folder) {
    current_ = &folder;
    folder_ = platform::Folder();
    error_ = platform::Fs().OpenFolder(folder.path, &folder_).code();
    if (error_ == 0 && folder_.id() != folder.id) error_ = platform::kErrorChangedSinceScan;
  }
  *open = error_ == 0 ? &folder_ : nullptr;
  return error_;
}

int SourceOpener::Open(const ScannedFolder& folder, const ScannedFile& file,
                       std::unique_ptr<platform::FileStream>* stream) {
  const platform::Folder* open = nullptr;
  if (const int error = Enter(folder, &open); error != 0) return error;
  platform::FileSystem& fs = platform::Fs();
  return (file.IsLink() ? fs.OpenLink(*open, folder.Name(file), file.id, stream)
                        : fs.OpenFile(*open, folder.Name(file), file.id, stream))
      .code();
}

}  // namespace kelvane
