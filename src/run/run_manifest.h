// The manifest of one run (manifest/manifest_line.h), made once its target
// holds every file: the header, every folder of the scan, every file and
// link the target took with the status of the version it read and the
// digest of its bytes, and the unchanged files a run that takes only changed
// files found, as the manifests of the archives that hold them list them.
#pragma once

#include <string>
#include <string_view>

#include "manifest/manifest_line.h"
#include "platform/status.h"

namespace kelvane::vxstl {
class BackupClass;
}

namespace kelvane {

class ManifestSpool;

// Writes the manifest into `spool` (begun) and finishes it. `keptLines` are
// KeptFileLines' (run/manifest_file.h); `header.id` the id that goes with
// each file this run saved.
platform::Status WriteManifest(const ManifestHeader& header, const vxstl::BackupClass& run,
                               std::string_view keptLines, ManifestSpool& spool);

// A new archive id: 32 hexadecimal digits from the system's random source.
std::string NewArchiveId();

}  // namespace kelvane
