#include "app/job_commands.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "job/backup_job.h"
#include "job/json_document.h"
#include "language/language_table.h"
#include "language/load_failure_text.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/program_run.h"
#include "platform/terminal_input.h"
#include "platform/text_codec.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

constexpr int kDone = 0;
constexpr int kUnusable = 3;

void Say(std::FILE* to, const std::wstring& text) {
  std::fprintf(to, "%s%s\n", to == stderr ? "kelvane: " : "", platform::ToUtf8(text).c_str());
}

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
  if (platform::Fs().OpenStream(path, platform::FileStream::kReadExisting, &file) != 0) return "";
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
  int error = fs.CreateReplacement(path, &temporary, &file);
  if (error != 0) return error;
  error = file->Write(text.data(), text.size());
  if (error == 0) error = file->Sync();
  if (const int closed = file->Close(); error == 0) error = closed;
  if (error == 0) error = fs.Replace(temporary, path);
  if (error != 0) fs.Remove(temporary);
  return error;
}

// Reads the job at `path` into `job` and `doc`; says why not.
bool LoadJob(const std::wstring& path, const LanguageTable& texts, JsonDocument* doc,
             BackupJob* job) {
  if (const uint32_t error = doc->LoadFile(path); error != 0) {
    Say(stderr, LoadFailureText(*doc, error, path, texts));
    return false;
  }
  if (!job->ReadJob(*doc)) {
    Say(stderr, texts.GetText(L"load_backup_failed") + L" (" + path + L")");
    return false;
  }
  return true;
}

}  // namespace

int SetJobPassword(const std::wstring& jobPath, const LanguageTable& texts) {
  JsonDocument doc;
  BackupJob job;
  if (!LoadJob(jobPath, texts, &doc, &job)) return kUnusable;
  std::string password;
  if (platform::StandardInputIsTerminal()) {
    std::fputs(platform::ToUtf8(texts.GetText(L"console_password_prompt")).c_str(), stderr);
    std::string again;
    if (!platform::ReadInputLine(true, &password)) return kUnusable;
    std::fputs(platform::ToUtf8(texts.GetText(L"console_password_again")).c_str(), stderr);
    if (!platform::ReadInputLine(true, &again) || again != password) {
      Say(stderr, texts.GetText(L"console_password_mismatch"));
      return kUnusable;
    }
  } else if (!platform::ReadInputLine(false, &password)) {
    Say(stderr, texts.GetText(L"console_password_none_read"));
    return kUnusable;
  }
  // A password of bytes another terminal encoding made, or with a NUL, would
  // be stored as something no tool can type back: refused, the job unchanged.
  if (password.find('\0') != std::string::npos || !platform::IsValidUtf8(password)) {
    Say(stderr, texts.GetText(L"console_password_not_text"));
    return kUnusable;
  }
  job.ArchivePassword = platform::FromNative(password);
  JsonDocument updated;
  if (!WriteJobToDocument(job, updated)) return kUnusable;
  if (const uint32_t error = updated.SaveFile(jobPath); error != 0) {
    Say(stderr, texts.GetText(L"save_backup_failed") + L" (" + jobPath + L")" + ErrorText(error));
    return kUnusable;
  }
  Say(stdout, PrintFEx(texts.GetText(password.empty() ? L"console_password_removed"
                                                      : L"console_password_set"),
                       {jobPath}));
  return kDone;
}

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

int ScheduleJob(const std::wstring& jobPath, const std::wstring& when, const LanguageTable& texts) {
  // Without a home the units would land in the current folder, where
  // systemd never looks.
  const std::wstring home = platform::ConfigHome();
  if (home.empty() || home.front() != L'/') {
    Say(stderr, texts.GetText(L"console_schedule_no_home"));
    return kUnusable;
  }
  // A path that is not UTF-8 cannot be written into a unit as it is.
  if (!platform::IsValidUtf8(platform::ToNative(jobPath))) {
    Say(stderr, PrintFEx(texts.GetText(L"console_schedule_path_not_text"), {jobPath}));
    return kUnusable;
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
    Say(stderr, PrintFEx(texts.GetText(L"console_schedule_other_job"), {service}));
    return kUnusable;
  }
  if (when == L"off") {
    for (const std::wstring& file : {timer, service}) {
      if (const int error = fs.Remove(file); error != 0 && error != ENOENT) {
        Say(stderr, file + ErrorText(static_cast<uint32_t>(error)));
        return kUnusable;
      }
    }
    Say(stdout, PrintFEx(texts.GetText(L"console_schedule_removed"), {service, timer}));
    return kDone;
  }
  JsonDocument doc;
  BackupJob job;
  if (!LoadJob(jobPath, texts, &doc, &job)) return kUnusable;
  // A line break would start a line of its own in the unit file.
  if (when.empty() || HasControl(when) || HasControl(jobPath)) {
    Say(stderr, PrintFEx(texts.GetText(L"console_schedule_invalid"), {when}));
    return kUnusable;
  }
  int status = 0;
  const int started =
      platform::RunProgram({"systemd-analyze", "calendar", platform::ToNative(when)}, &status);
  if (started == 0 && status != 0) {
    Say(stderr, PrintFEx(texts.GetText(L"console_schedule_invalid"), {when}));
    return kUnusable;
  }
  int error = fs.CreateFolders(folder);
  if (error == 0)
    error = WriteWhole(service, ServiceText(platform::ExecutablePath(), jobPath, unit));
  if (error == 0) error = WriteWhole(timer, TimerText(when, unit));
  if (error != 0) {
    Say(stderr, folder + ErrorText(static_cast<uint32_t>(error)));
    return kUnusable;
  }
  Say(stdout, PrintFEx(texts.GetText(L"console_schedule_written"),
                       {service, timer, L"systemctl --user enable --now " + unit + L".timer"}));
  return kDone;
}

}  // namespace kelvane
