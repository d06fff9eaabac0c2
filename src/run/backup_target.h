// One kind of backup target (a folder copy, a ZIP or a 7z archive): how the
// target phase of a run writes it.
//
// The driver calls Write on its own thread after the scan, the totals and the
// disk-space check. A target starts its work on one task thread and waits for
// it with BackupClass::PumpingWait, so the host stays responsive and a
// confirmed cancel reaches the task. An archive is written into
// BackupClass::CreateWorkFile; the driver puts it in place after success.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

namespace vxstl {
class BackupClass;
}
namespace platform {
class Folder;
struct DirectoryEntry;
}  // namespace platform

// What reading a written target back found.
struct TargetCheck {
  uint32_t checked = 0;  // files read back
  uint32_t failed = 0;   // of them, or missing, or extra: each logged
  // Why the target as a whole could not be read; empty when it could.
  std::wstring unreadable;
  bool passed() const { return failed == 0 && unreadable.empty(); }
};

class BackupTarget {
 public:
  virtual ~BackupTarget() = default;

  // Writes the target of `run`. Returns 0, or the code that aborts the run
  // (after telling the user why). Single files that fail are logged and
  // counted in the run, not returned.
  virtual uint32_t Write(vxstl::BackupClass& run) = 0;

  // After a successful Write, reads what was written back and compares it
  // with what was saved (BackupClass::verify...). Logs one line per file
  // that fails; a target that cannot be read at all says so in the result.
  virtual TargetCheck Verify(vxstl::BackupClass& run) = 0;

  // Whether the older target `entry` in `folder`, which a run of this kind
  // would replace, holds any file (one that cannot be read counts as
  // holding some). A folder copy is updated, never replaced.
  virtual bool HoldsFiles(const platform::Folder& /*folder*/,
                          const platform::DirectoryEntry& /*entry*/) {
    return false;
  }
};

}  // namespace kelvane
