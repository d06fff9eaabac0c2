#include "app/command_support.h"

#include <cstdio>

#include "app/command.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "run/run_summary.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/toolkit/window_session.h"
#include "util/template_format.h"

namespace kelvane {

void PrintError(const std::wstring& message) {
  std::fprintf(stderr, "kelvane: %s\n", platform::ToUtf8(message).c_str());
}

void PrintLine(const std::wstring& text) {
  std::fprintf(stdout, "%s\n", platform::ToUtf8(text).c_str());
}

bool LoadJobFile(const std::wstring& path, const LanguageTable& texts, JsonDocument* document,
                 BackupJob* job) {
  if (const platform::Status loaded = document->LoadFile(path); !loaded.ok()) {
    PrintError(LoadFailureText(*document, loaded, path, texts));
    return false;
  }
  if (!job->ReadJob(*document)) {
    PrintError(texts.GetText(L"load_backup_failed") + L" (" + path + L")");
    return false;
  }
  return true;
}

void ReportNotLoaded(const std::wstring& message, bool inWindow) {
  PrintError(message);
  if (inWindow) ui::Dialogs().ShowMessage(nullptr, message, true);
}

std::wstring GivenOrRecentJob(const CommandContext& context) {
  std::wstring path = context.args.Value(L"file");
  if (path.empty() && context.profile.GetInt("Main", "LoadRecentFile", 0) != 0) {
    path = context.profile.GetString("Main", "RecentFile", L"");
  }
  if (!path.empty() && !platform::Fs().Exists(path)) path.clear();
  return path;
}

std::wstring NoJobText(const CommandContext& context) {
  const std::wstring given = context.args.Value(L"file");
  return context.texts.GetText(L"load_backup_failed") + L" (" +
         (given.empty() ? context.texts.GetText(L"console_no_job_given")
                        : PrintFEx(context.texts.GetText(L"console_job_not_found"), {given})) +
         L")";
}

std::wstring NamedJob(const CommandContext& context) {
  const std::wstring given = context.args.Value(L"file");
  if (given.empty() || !platform::Fs().Exists(given)) {
    PrintError(NoJobText(context));
    return L"";
  }
  return platform::AbsolutePath(given);
}

std::unique_ptr<ui::WindowSession> OpenDesktop(const CommandContext& context) {
  const std::wstring display = platform::DesktopDisplay();
  if (display.empty() || context.args.Flag(L"console")) return nullptr;
  std::unique_ptr<ui::WindowSession> session = ui::WindowSession::Open();
  if (!session) {
    PrintError(PrintFEx(context.texts.GetText(L"console_no_window"), {display}));
  }
  return session;
}

void SayNotices(const std::vector<NoticeResult>& results, const LanguageTable& texts) {
  for (const NoticeResult& result : results) {
    if (result.error.empty()) {
      PrintError(PrintFEx(texts.GetText(L"console_notice_sent"), {result.channel}));
    } else {
      PrintError(PrintFEx(texts.GetText(L"console_notice_failed"), {result.channel, result.error}));
    }
  }
}

}  // namespace kelvane
