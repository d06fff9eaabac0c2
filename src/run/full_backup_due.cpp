#include "run/full_backup_due.h"

#include <optional>
#include <vector>

#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "run/manifest_file.h"
#include "run/output_names.h"
#include "util/civil_date.h"

namespace kelvane {
namespace {

// Days since 1970 by the local calendar.
int64_t LocalDayNumber(int64_t unixTime) {
  platform::CalendarTime local;
  if (!platform::LocalCalendarTime(unixTime, &local)) return unixTime / 86400;
  return DaysFromCivil({local.year, local.month, local.day});
}

}  // namespace

bool FullBackupDue(const platform::Folder& archiveFolder, const OutputNames& outputs,
                   uint32_t fullEvery, RunLog& log) {
  if (fullEvery == 0) return false;
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::Fs().ReadDirectory(archiveFolder, &entries).ok()) return false;
  const std::optional<int64_t> newest =
      NewestFullBackup(archiveFolder, entries,
                       [&outputs](const std::wstring& name) { return outputs.IsTarget(name); });
  if (!newest) {
    log.WriteLogLine(L"Full backup: no full backup of this job is there.");
    return true;
  }
  const int64_t days = LocalDayNumber(platform::Time().WallSeconds()) - LocalDayNumber(*newest);
  if (days < fullEvery) return false;
  log.WriteLogFormat(L"Full backup: the newest full one is %ld days old (FullEvery %lu).", days,
                     fullEvery);
  return true;
}

}  // namespace kelvane
