// What the runs of one job write into its archive folder, and how to know it
// again (for the scan, which never takes it, and for the sweep of leftovers):
//
//   <name>.log                          the log, never dated
//   .<name>.kvn-lock                    the lock that keeps two runs apart
//   <name>[_YYYY-MM-DD_HH-MM]<ext>      the target: ext ".zip" or ".7z", or
//                                       none for a folder target
//   .<target>.kvn-<process>-<n>.tmp     an archive still being written, or the
//                                       staging folder of a new folder copy
//   <target>.kvnman                     the target's manifest (run/manifest_file.h)
//   .<target>.kvnman.kvn-<process>-<n>.tmp  a manifest still being written
//   <name>.kvncat                       the change catalog (scan/change_catalog.h)
//   .<name>.kvncat.kvn-<process>-<n>.tmp  a catalog still being written
//   <name>.kvnlast.json                 the last run's summary (notify/)
//   .<name>.kvnlast.json.kvn-<process>-<n>.tmp  one still being written
//
// Inside a folder target, ".kvn-<process>-<n>.tmp" in any folder is a file
// being copied, and ".kelvane/update-in-progress" marks an update under way.
// Names are compared exactly, letter case included: on Linux a user's
// "DAILY.ZIP" is not this job's "Daily.zip". All of it is pure text work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_clock.h"

namespace kelvane {

struct BackupJob;

// Target path and log path of a job, and the target's own name in the archive
// folder. The date suffix goes on the target only.
struct TargetNames {
  std::wstring archivePath;
  std::wstring logPath;
  std::wstring lastRunPath;  // the last run's summary, beside the log
  std::wstring targetName;
};
TargetNames NameTarget(const BackupJob& job, const std::wstring& dateSuffix);

// A name that stays inside the archive folder, whatever is appended to it.
bool IsUsableArchiveName(const std::wstring& name);

// The suffix of a target of the job type `type` (".zip", ".7z", or none).
const wchar_t* TargetExtension(uint32_t type);

class OutputNames {
 public:
  // `archiveName` is the job's ArchiveName, `extension` the target's suffix
  // (empty for a folder target).
  OutputNames(std::wstring archiveName, std::wstring extension);

  std::wstring LogName() const { return name_ + L".log"; }
  std::wstring LockName() const { return L"." + name_ + L".kvn-lock"; }
  std::wstring CatalogName() const { return name_ + L".kvncat"; }
  std::wstring LastRunName() const { return name_ + L".kvnlast.json"; }
  // The stem of the temporary file an archive named `target` is written to.
  static std::wstring WorkStem(std::wstring_view target) { return L"." + std::wstring(target); }

  // A target of this job, dated or not.
  bool IsTarget(std::wstring_view name) const;
  // The local date and time a dated target's name gives; none for an
  // undated one or another name.
  std::optional<platform::CalendarTime> DateOf(std::wstring_view target) const;
  // The manifest of a target of this job.
  bool IsManifest(std::wstring_view name) const;
  // An archive, manifest or catalog of this job still being written (or left by a
  // killed run).
  bool IsTemporary(std::wstring_view name) const;
  // Any of the above, the log, the lock and the last run's summary included.
  bool IsOwnOutput(std::wstring_view name) const;

  bool isFolderTarget() const { return extension_.empty(); }

 private:
  std::wstring name_;
  std::wstring extension_;
};

}  // namespace kelvane
