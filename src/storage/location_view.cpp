#include "storage/location_view.h"

#include <cstdlib>

#include "manifest/manifest_line.h"
#include "platform/text_codec.h"

namespace kelvane {

LocationView::~LocationView() {
  if (staging_.IsOpen()) (void)platform::Fs().RemoveTree(*work_, stagingName_);
}

platform::Status LocationView::Open(StorageLocation& location, const platform::Folder& work,
                                    const std::wstring& stem,
                                    const std::function<bool(const std::wstring&)>& isTarget) {
  location_ = &location;
  if (location.folder()) return {};
  work_ = &work;
  platform::FileSystem& fs = platform::Fs();
  std::vector<LocationFile> files;
  platform::Status status = location.List(&files);
  if (status.ok()) status = fs.MakeTemporaryFolder(work, stem, &stagingName_, &staging_);
  for (const LocationFile& file : files) {
    if (!status.ok()) break;
    if (isTarget(file.name)) {
      status = platform::WriteWholeFile(staging_, file.name, staging_, file.name, "");
      continue;
    }
    const std::wstring suffix = kManifestSuffix;
    if (file.name.ends_with(suffix) &&
        isTarget(file.name.substr(0, file.name.size() - suffix.size()))) {
      status = location.Fetch(file.name, staging_);
    }
  }
  return status;
}

const platform::Folder& LocationView::folder() const {
  return location_->folder() ? *location_->folder() : staging_;
}

platform::Status LocationView::Fetch(const std::wstring& name) {
  if (location_->folder()) return {};
  return location_->Fetch(name, staging_);
}

platform::Status OpenScratchRoot(platform::Folder* root) {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string path = tmpdir && *tmpdir ? tmpdir : "/var/tmp";
  return platform::Fs().OpenFolder(platform::FromNative(path), root);
}

}  // namespace kelvane
