#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/paths.h"
#include "ui/toolkit/window_session.h"
#include "ui/windows/kelvane_document.h"

namespace kelvane {

// A job that does not load is said, and the editor starts on a new job with
// no file name, so Save cannot overwrite the file that failed.
void RunEditor(const std::wstring& path, const LanguageTable& texts, ProfileStore& profile) {
  JsonDocument job;
  std::wstring jobPath;
  if (!path.empty()) {
    jobPath = platform::AbsolutePath(path);
    if (const platform::Status loaded = job.LoadFile(jobPath); !loaded.ok()) {
      ReportNotLoaded(LoadFailureText(job, loaded, jobPath, texts), true);
      job.Clear();
      jobPath.clear();
    } else if (BackupJob probe; !probe.ReadJob(job)) {
      ReportNotLoaded(texts.GetText(L"load_backup_failed") + L" (" + jobPath + L")", true);
      job.Clear();
      jobPath.clear();
    }
  }
  ui::CKelvaneDocument editor(nullptr, texts, profile, jobPath, &job);
  editor.ShowModal();
}

int EditorCommand(const CommandContext& context) {
  const std::wstring path = GivenOrRecentJob(context);
  const std::unique_ptr<ui::WindowSession> session = OpenDesktop(context);
  // The job editor needs a desktop; without one there is nothing to do here.
  if (!session) {
    PrintUsage(stderr, context.texts);
    return kExitJobUnreadable;
  }
  RunEditor(path, context.texts, context.profile);
  return kExitDone;
}

}  // namespace kelvane
