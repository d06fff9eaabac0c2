#include <cstdio>
#include <mutex>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/job_to_run.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "retention/prune.h"
#include "run/console_run_host.h"
#include "run/output_names.h"
#include "run/run_driver.h"
#include "util/byte_size.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/line_escape.h"
#include "util/path_util.h"
#include "util/template_format.h"

namespace kelvane {

namespace {

// What the keep policy would delete after the run, as the run would plan it.
void PrintWhatWouldGo(const BackupJob& job, const DryRunResult& result,
                      const CommandContext& context) {
  // Where the backup would go as well; a dry run connects to none of them.
  for (const std::wstring& where : job.StorageLocations) {
    if (job.Type == kJobTypeFolder) break;
    std::printf("%s\n", EscapedLine(L"Would copy to " + where + L".").c_str());
  }
  const KeepPolicy policy = KeepPolicyOf(job);
  if (policy.KeepsEverything()) return;
  platform::Folder folder;
  if (!platform::Fs().OpenFolder(NormalPath(job.ArchiveFolder), &folder).ok()) return;
  const OutputNames outputs(job.ArchiveName, TargetExtension(job.Type));
  PruneRequest request =
      KeepPolicyRequest(job, folder, outputs, context.profile.GetString("Main", "SevenZip", L""));
  request.dryRun = true;
  request.comingPoint = result.targetName;
  request.comingIsFull = result.fullBackup;
  request.say = [](const std::wstring& line) { std::printf("%s\n", EscapedLine(line).c_str()); };
  RunLog quiet;
  (void)Prune(request, quiet);
}

}  // namespace

// One line a file on stdout ("+ PATH"; with -why also "- PATH<TAB>REASON"
// for what it leaves out), the names escaped as the log escapes them, so no
// name can make a line of its own; then the totals and whether the target
// has room.
int DryRunCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  JobToRun job;
  if (const std::optional<int> refused = LoadJobToRun(context, true, false, &job)) {
    return *refused;
  }
  ConsoleRunHost host(stderr, false, true, texts);
  RunDriver driver = MakeRunDriver(host, texts, context.profile.GetString("Main", "SevenZip", L""));
  std::mutex outputLock;
  DryRunSink sink;
  sink.taken = [&outputLock](const std::wstring& path) {
    std::lock_guard<std::mutex> hold(outputLock);
    std::printf("+ %s\n", EscapedLine(path).c_str());
  };
  if (context.args.Flag(L"why")) {
    sink.skipped = [&outputLock](const std::wstring& path, std::wstring_view reason) {
      std::lock_guard<std::mutex> hold(outputLock);
      std::printf("- %s\t%s\n", EscapedLine(path).c_str(), EscapedLine(reason).c_str());
    };
  }
  const DryRunResult result = driver.DryRun(job.document, sink);
  // Refused as the run would refuse it, with the run's message already said.
  if (result.outcome == RunOutcome::kAborted) return kExitAborted;
  if (result.outcome == RunOutcome::kJobUnreadable) {
    PrintError(texts.GetText(L"console_job_unreadable"));
    return kExitJobUnreadable;
  }
  std::wstring room;
  if (result.roomError != 0) {
    room = PrintFEx(texts.GetText(L"diskspace_unknown"), {result.roomQueried}) +
           ErrorText(static_cast<uint32_t>(result.roomError));
  } else {
    room = PrintFEx(texts.GetText(result.freeBytes >= result.bytes ? L"console_dry_run_room"
                                                                   : L"console_dry_run_no_room"),
                    {FormatByteSize(result.freeBytes), result.roomQueried});
  }
  std::printf("%s\n%s\n",
              platform::ToUtf8(PrintFEx(texts.GetText(L"console_dry_run_total"),
                                        {FormatText(L"%lu", result.files),
                                         FormatByteSize(result.bytes), result.target}))
                  .c_str(),
              platform::ToUtf8(room).c_str());
  PrintWhatWouldGo(job.settings, result, context);
  return kExitDone;
}

}  // namespace kelvane
