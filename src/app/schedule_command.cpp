// The units: kelvane-NAME-HASH.service and .timer in the user's systemd
// folder, running the job at `when` (a systemd calendar expression, checked
// with systemd-analyze where it is installed); "off" removes both. Units of
// that name that run another job are left alone and refused.
#include <cerrno>
#include <cstdio>
#include <memory>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "cli/command_line.h"
#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/program_run.h"
#include "platform/text_codec.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

bool HasControl(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// One argument of ExecStart: quoted, with what systemd would expand escaped.
std::wstring UnitArgument(const std::wstring& text) {
  std::wstring out = L"\"";
  for (const wchar_t c : text) {
    if (c == L'"' || c == L'\\') out += L'\\';
    if (c == L'%') out += L'%';
    if (c == L'$') out += L'$';
    out += c;
  }
  return out + L"\"";
}

// The text of a small file; empty when there is none or it cannot be read.
std::string ReadSmallFile(const std::wstring& path) {
  std::unique_ptr<platform::FileStream> file;
  if (!platform::Fs().OpenStream(path, platform::FileStream::kReadExisting, &file).ok()) return "";
  std::string text;
  char buffer[4096];
  for (size_t got = 0; text.size() < (1 << 20);) {
    if (file->Read(buffer, sizeof buffer, &got) != 0 || got == 0) break;
    text.append(buffer, got);
  }
  return text;
}

int WriteWhole(const std::wstring& path, const std::string& text) {
  platform::FileSystem& fs = platform::Fs();
  std::wstring temporary;
  std::unique_ptr<platform::FileStream> file;
  int error = fs.CreateReplacement(path, &temporary, &file).code();
  if (error != 0) return error;
  error = file->Write(text.data(), text.size());
  if (error == 0) error = file->Sync();
  if (const int closed = file->Close(); error == 0) error = closed;
  if (error == 0) error = fs.Replace(temporary, path).code();
  // The write's error is the one said; a temporary that stays is harmless.
  if (error != 0) static_cast<void>(fs.Remove(temporary));
  return error;
}

// The unit name: the job's name kept to the characters systemd allows
// (anything else as "_"), then a hash of the job's full path, so no two jobs
// share one.
std::wstring ScheduleUnitName(const std::wstring& jobPath) {
  std::wstring name = jobPath.substr(jobPath.find_last_of(L'/') + 1);
  if (name.size() > 7 && name.ends_with(L".kvnjob")) name.resize(name.size() - 7);
  for (wchar_t& c : name) {
    const bool allowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                         (c >= L'0' && c <= L'9') || c == L'-' || c == L'_' || c == L'.';
    if (!allowed) c = L'_';
  }
  // Names that differ only where systemd allows no character, and jobs of
  // the same name in two folders, must not share a timer: the full path
  // decides (FNV-1a, the same in every build).
  uint32_t hash = 2166136261u;
  for (const char byte : platform::ToUtf8(jobPath)) {
    hash = (hash ^ static_cast<uint8_t>(byte)) * 16777619u;
  }
  return L"kelvane-" + name + FormatText(L"-%08x", hash);
}

std::string ServiceText(const std::wstring& program, const std::wstring& jobPath,
                        const std::wstring& name) {
  return platform::ToUtf8(L"[Unit]\nDescription=Kelvane backup job " + name +
                          L"\n\n[Service]\nType=oneshot\nExecStart=" + UnitArgument(program) +
                          L" " + UnitArgument(jobPath) + L" -start -console\n");
}

std::string TimerText(const std::wstring& when, const std::wstring& name) {
  return platform::ToUtf8(L"[Unit]\nDescription=When the Kelvane backup job " + name +
                          L" runs\n\n[Timer]\nOnCalendar=" + when +
                          L"\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n");
}

}  // namespace

int ScheduleCommand(const CommandContext& context) {
  const LanguageTable& texts = context.texts;
  const std::wstring jobPath = NamedJob(context);
  if (jobPath.empty()) return kExitJobUnreadable;
  const std::wstring when = context.args.Value(L"schedule");
  // Without a home the units would land in the current folder, where
  // systemd never looks.
  const std::wstring home = platform::ConfigHome();
  if (home.empty() || home.front() != L'/') {
    PrintError(texts.GetText(L"console_schedule_no_home"));
    return kExitJobUnreadable;
  }
  // A path that is not UTF-8 cannot be written into a unit as it is.
  if (!platform::IsValidUtf8(platform::ToNative(jobPath))) {
    PrintError(PrintFEx(texts.GetText(L"console_schedule_path_not_text"), {jobPath}));
    return kExitJobUnreadable;
  }
  const std::wstring folder = home + L"/systemd/user/";
  const std::wstring unit = ScheduleUnitName(jobPath);
  const std::wstring service = folder + unit + L".service";
  const std::wstring timer = folder + unit + L".timer";
  platform::FileSystem& fs = platform::Fs();
  // A unit of that name that runs another job is that job's: never replaced
  // or removed for this one.
  if (const std::string existing = ReadSmallFile(service);
      !existing.empty() &&
      existing.find(platform::ToUtf8(L" " + UnitArgument(jobPath) + L" -start -console\n")) ==
          std::string::npos) {
    PrintError(PrintFEx(texts.GetText(L"console_schedule_other_job"), {service}));
    return kExitJobUnreadable;
  }
  if (when == L"off") {
    for (const std::wstring& file : {timer, service}) {
      if (const int error = fs.Remove(file).code(); error != 0 && error != ENOENT) {
        PrintError(file + ErrorText(static_cast<uint32_t>(error)));
        return kExitJobUnreadable;
      }
    }
    PrintLine(PrintFEx(texts.GetText(L"console_schedule_removed"), {service, timer}));
    return kExitDone;
  }
  JsonDocument doc;
  BackupJob job;
  if (!LoadJobFile(jobPath, texts, &doc, &job)) return kExitJobUnreadable;
  // A line break would start a line of its own in the unit file.
  if (when.empty() || HasControl(when) || HasControl(jobPath)) {
    PrintError(PrintFEx(texts.GetText(L"console_schedule_invalid"), {when}));
    return kExitJobUnreadable;
  }
  int status = 0;
  const int started =
      platform::RunProgram({"systemd-analyze", "calendar", platform::ToNative(when)}, &status);
  if (started == 0 && status != 0) {
    PrintError(PrintFEx(texts.GetText(L"console_schedule_invalid"), {when}));
    return kExitJobUnreadable;
  }
  int error = fs.CreateFolders(folder).code();
  if (error == 0)
    error = WriteWhole(service, ServiceText(platform::ExecutablePath(), jobPath, unit));
  if (error == 0) error = WriteWhole(timer, TimerText(when, unit));
  if (error != 0) {
    PrintError(folder + ErrorText(static_cast<uint32_t>(error)));
    return kExitJobUnreadable;
  }
  PrintLine(PrintFEx(texts.GetText(L"console_schedule_written"),
                     {service, timer, L"systemctl --user enable --now " + unit + L".timer"}));
  return kExitDone;
}

}  // namespace kelvane
