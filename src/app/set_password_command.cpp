#include <cstdio>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "job/backup_job.h"
#include "job/job_edits.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/terminal_input.h"
#include "platform/text_codec.h"
#include "util/error_text.h"
#include "util/template_format.h"

namespace kelvane {

// Read hidden and twice on a terminal, one line from a pipe; stored
// enciphered, the job keeping its permission bits; an empty one removes it.
int SetPasswordCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  const std::wstring jobPath = NamedJob(context);
  if (jobPath.empty()) return kExitJobUnreadable;
  JsonDocument doc;
  BackupJob job;
  if (!LoadJobFile(jobPath, texts, &doc, &job)) return kExitJobUnreadable;
  std::string password;
  if (platform::StandardInputIsTerminal()) {
    std::string again;
    const std::string prompt = platform::ToUtf8(texts.GetText(L"console_password_prompt"));
    if (!platform::ReadInputLine(true, prompt, &password)) return kExitJobUnreadable;
    const std::string repeat = platform::ToUtf8(texts.GetText(L"console_password_again"));
    if (!platform::ReadInputLine(true, repeat, &again) || again != password) {
      PrintError(texts.GetText(L"console_password_mismatch"));
      return kExitJobUnreadable;
    }
  } else if (!platform::ReadInputLine(false, "", &password)) {
    PrintError(texts.GetText(L"console_password_none_read"));
    return kExitJobUnreadable;
  }
  // A password of bytes another terminal encoding made, or with a NUL, would
  // be stored as something no tool can type back: refused, the job unchanged.
  if (password.find('\0') != std::string::npos || !platform::IsValidUtf8(password)) {
    PrintError(texts.GetText(L"console_password_not_text"));
    return kExitJobUnreadable;
  }
  job.ArchivePassword = platform::FromNative(password);
  JsonDocument updated;
  if (!WriteJobToDocument(job, updated)) return kExitJobUnreadable;
  if (const platform::Status saved = updated.SaveFile(jobPath); !saved.ok()) {
    PrintError(texts.GetText(L"save_backup_failed") + L" (" + jobPath + L")" +
               ErrorText(static_cast<uint32_t>(saved.code())));
    return kExitJobUnreadable;
  }
  PrintLine(PrintFEx(
      texts.GetText(password.empty() ? L"console_password_removed" : L"console_password_set"),
      {jobPath}));
  return kExitDone;
}

}  // namespace kelvane
