// A chain of runs that take only changed files grows until a full backup
// ends it. A job's FullEvery makes one due when the newest full backup, by
// the manifests beside the targets, is that many local calendar days old or
// older, or when there is none; then a keep policy can let the old chain go.
#pragma once

#include <cstdint>

namespace kelvane {

class OutputNames;
class RunLog;
namespace platform {
class Folder;
}

// Whether this run is to be a full one; the reason is a line in `log`.
bool FullBackupDue(const platform::Folder& archiveFolder, const OutputNames& outputs,
                   uint32_t fullEvery, RunLog& log);

}  // namespace kelvane
