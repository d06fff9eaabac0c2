// What the command handlers share: how they speak, which job they act on,
// and the desktop they may open windows on.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kelvane {

namespace ui {
class WindowSession;
}
class JsonDocument;
class LanguageTable;
struct BackupJob;
struct CommandContext;
struct NoticeResult;

// "kelvane: MESSAGE" on stderr.
void PrintError(const std::wstring& message);
// What a command did, one line on stdout.
void PrintLine(const std::wstring& text);

// A job that cannot be used, said on stderr and, for a start from the
// desktop (a launcher or a file manager has no terminal to read), in a
// message box.
void ReportNotLoaded(const std::wstring& message, bool inWindow);

// The job named on the command line, or else the recent one where the
// profile says to load it; empty when the file is not there.
std::wstring GivenOrRecentJob(const CommandContext& context);

// For commands that change a job's files: only the job named here, never
// the recent one by surprise, made absolute. Empty, with the reason said,
// when none was named or it is not there.
std::wstring NamedJob(const CommandContext& context);

// Reads the job at `path` into `document` and `job`; says why not.
bool LoadJobFile(const std::wstring& path, const LanguageTable& texts, JsonDocument* document,
                 BackupJob* job);

// Why no job could be loaded: none was named, or the one named is not there.
std::wstring NoJobText(const CommandContext& context);

// The toolkit, open on the desktop when there is one and -console was not
// given; null otherwise (a desktop that cannot be opened is said).
std::unique_ptr<ui::WindowSession> OpenDesktop(const CommandContext& context);

// Each notice sent at a run's end (or as a test), one line each on stderr.
void SayNotices(const std::vector<NoticeResult>& results, const LanguageTable& texts);

}  // namespace kelvane
