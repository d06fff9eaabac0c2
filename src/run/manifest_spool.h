// A run's manifest as it is made: its lines go into a temporary file in the
// archive folder rather than memory (a million files make some 350 MB of
// lines), the target that packs it and the check read it back from there,
// and at the end it becomes the manifest beside the target.
//
// The temporary is named as the manifest's own replacement would be, so a
// killed run's half goes with the next run's sweep; the spool removes it
// unless it became the manifest.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/content_hash.h"
#include "platform/file_system.h"
#include "platform/folder.h"
#include "platform/status.h"

namespace kelvane {

class ManifestSpool {
 public:
  // The spool for the manifest of `targetName` in `archiveFolder`, which
  // must stay open while the spool lives.
  ManifestSpool(const platform::Folder& archiveFolder, std::wstring targetName);
  ~ManifestSpool();
  ManifestSpool(const ManifestSpool&) = delete;
  ManifestSpool& operator=(const ManifestSpool&) = delete;

  // Creates the temporary file; then Append the text and Finish it.
  platform::Status Begin();
  platform::Status Append(std::string_view text);
  platform::Status Finish();

  // The digest of the whole text, once finished.
  const platform::ContentDigest& digest() const { return digest_; }

  // The whole text from its start, read from the spool's own file (one
  // reader at a time, while the spool lives).
  std::unique_ptr<platform::FileStream> Read();

  // Writes the text as the file `name` of `folder` through a temporary there
  // (platform::WriteWholeFile's way), its first line replaced by `firstLine`
  // when that is not empty.
  platform::Status CopyTo(const platform::Folder& folder, const std::wstring& name,
                          std::string_view firstLine = {});

  // Puts the text beside the target as its manifest, "<target>.kvnman",
  // replacing an older one in one step; its first line replaced as CopyTo
  // does. Without a new first line the spool's file itself is renamed.
  platform::Status SaveBeside(std::string_view firstLine);

 private:
  platform::Status Flush();

  const platform::Folder& folder_;
  const std::wstring targetName_;
  std::wstring name_;  // of the temporary, once begun
  std::unique_ptr<platform::FileStream> file_;
  std::string pending_;  // appended, not yet written
  platform::Sha256 hash_;
  platform::ContentDigest digest_;
  uint64_t size_ = 0;
};

}  // namespace kelvane
