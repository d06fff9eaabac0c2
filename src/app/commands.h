// The handlers of the command table (command.h), one file each.
#pragma once

#include <string>

namespace kelvane {

class LanguageTable;
class ProfileStore;
struct CommandContext;

// -start: runs the job in the run window, or in the terminal without a
// desktop or with -console; writes the -summary.
int RunCommand(const CommandContext& context);
// -dry-run: what a run would save, on stdout; writes nothing.
int DryRunCommand(const CommandContext& context);
// -list: the restore points of a job or an archive.
int ListCommand(const CommandContext& context);
// -restore -to DIR: a restore point brought back into DIR.
int RestoreCommand(const CommandContext& context);
// -compare: a restore point read back and set against its manifest and the
// live tree; writes nothing.
int CompareCommand(const CommandContext& context);
// -prune [-dry-run]: the job's keep policy carried out now.
int PruneCommand(const CommandContext& context);
// -set-password: the job's new password from standard input.
int SetPasswordCommand(const CommandContext& context);
// -schedule WHEN|off: a systemd user timer that runs the job.
int ScheduleCommand(const CommandContext& context);
// -notify-test: a test notice on each channel the job names.
int NotifyTestCommand(const CommandContext& context);
// No command: the job editor on the job given or the recent one.
int EditorCommand(const CommandContext& context);

// The job editor as the main window, on the job at `path` or on a new one.
void RunEditor(const std::wstring& path, const LanguageTable& texts, ProfileStore& profile);

}  // namespace kelvane
