#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "job/backup_job.h"
#include "job/job_edits.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "notify/run_notices.h"

namespace kelvane {

// One test notice on each channel the job names, each said with its result;
// status 1 when one could not be sent, so a script can tell.
int NotifyTestCommand(const CommandContext& context) {
  const std::wstring jobPath = NamedJob(context);
  if (jobPath.empty()) return kExitJobUnreadable;
  JsonDocument doc;
  BackupJob job;
  if (!LoadJobFile(jobPath, context.texts, &doc, &job)) return kExitJobUnreadable;
  RunNotices notices(job, JobName(jobPath, job), context.profile, context.texts);
  const std::vector<NoticeResult> results = notices.Test(jobPath);
  if (results.empty()) PrintLine(context.texts.GetText(L"console_notice_none"));
  SayNotices(results, context.texts);
  for (const NoticeResult& result : results) {
    if (!result.error.empty()) return kExitDoneWithErrors;
  }
  return kExitDone;
}

}  // namespace kelvane
