#include <cerrno>
#include <cstdio>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/job_to_run.h"
#include "cli/command_line.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "profile/profile_store.h"
#include "retention/prune.h"
#include "run/output_names.h"
#include "util/error_text.h"
#include "util/path_util.h"
#include "util/template_format.h"

namespace kelvane {

// The job's keep policy carried out now, under the job's lock, each line of
// the plan and each deletion on stdout; with -dry-run the plan only.
int PruneCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  JobToRun job;
  if (const std::optional<int> refused = LoadJobToRun(context, true, false, &job)) {
    return *refused;
  }
  const BackupJob& settings = job.settings;
  // What a run would refuse: a name that could match another job's files.
  if (!IsUsableArchiveName(settings.ArchiveName)) {
    PrintError(PrintFEx(texts.GetText(L"archive_name_invalid"), {settings.ArchiveName}));
    return kExitJobUnreadable;
  }
  const KeepPolicy policy = KeepPolicyOf(settings);
  PrintLine(DescribeRetention(settings, texts));
  if (policy.KeepsEverything()) return kExitDone;
  const bool dryRun = context.args.Flag(L"dry-run");
  const std::wstring folderPath = NormalPath(settings.ArchiveFolder);
  platform::Folder folder;
  if (const platform::Status opened = platform::Fs().OpenFolder(folderPath, &folder);
      !opened.ok()) {
    // No folder, no backups: nothing to keep or delete.
    if (opened.code() == ENOENT) return kExitDone;
    PrintError(folderPath + L":" + ErrorText(static_cast<uint32_t>(opened.code())));
    return kExitAborted;
  }
  const OutputNames outputs(settings.ArchiveName, TargetExtension(settings.Type));
  platform::FileLock lock;
  if (!dryRun) {
    if (const int locked = lock.TryLock(folder, outputs.LockName()); locked != 0) {
      const std::wstring lockPath = folder.path() + outputs.LockName();
      PrintError(locked == EWOULDBLOCK
                     ? PrintFEx(texts.GetText(L"job_running"), {lockPath})
                     : PrintFEx(texts.GetText(L"lock_failed"),
                                {lockPath, ErrorText(static_cast<uint32_t>(locked))}));
      return kExitAborted;
    }
  }
  PruneRequest request = KeepPolicyRequest(settings, folder, outputs,
                                           context.profile.GetString("Main", "SevenZip", L""));
  request.dryRun = dryRun;
  request.say = [](const std::wstring& line) { PrintLine(line); };
  RunLog quiet;  // the lines go to stdout; the job's log stays its last run's
  const PruneReport report = Prune(request, quiet);
  if (report.refused) return kExitAborted;
  return report.failures == 0 ? kExitDone : kExitDoneWithErrors;
}

}  // namespace kelvane
