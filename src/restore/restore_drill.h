// A restore drill: a restore point read back through the same readers a
// restore uses, into sinks that keep only each file's SHA-256, and set
// against the point's manifest (what the archive holds is what the backup
// read) and against the live tree (what changed since). Writes nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "restore/restore_run.h"

namespace kelvane {

struct DrillReport {
  bool refused = false;  // an archive is missing: `refusal` says which
  std::wstring refusal;
  uint64_t files = 0;         // files the point holds
  uint64_t damaged = 0;       // not read back whole, or not the bytes the backup read
  uint64_t changedSince = 0;  // the live file or link differs from the point's
  uint64_t missingNow = 0;    // not in the live tree any more
};

// Reads the point `request` names (its archive folder, plan and keys; the
// target is not used). Each finding goes to `finding` as one line:
// "damaged: PATH (why)", "changed: PATH", "missing: PATH".
DrillReport RunDrill(const RestoreRequest& request, OperationHost& host,
                     const std::function<void(const std::wstring&)>& finding);

}  // namespace kelvane
