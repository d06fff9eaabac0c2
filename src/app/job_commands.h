// What the command line does with a job besides running it: setting its
// password without the editor, and a systemd timer that runs it. Each returns
// the program's exit status (0, or 3 for input that cannot be used) and says
// what it did on stdout, what went wrong on stderr.
#pragma once

#include <string>

namespace kelvane {

class LanguageTable;

// Reads the new password from standard input (hidden and asked twice on a
// terminal, one line from a pipe) and stores it enciphered in the job at
// `jobPath`, which keeps its permission bits; an empty one removes it.
int SetJobPassword(const std::wstring& jobPath, const LanguageTable& texts);

// Writes kelvane-NAME-HASH.service and .timer (ScheduleUnitName) to the
// user's systemd folder, running the job `when` (a systemd calendar
// expression, checked with systemd-analyze where it is installed); "off"
// removes both. Units of that name that run another job are left alone and
// refused.
int ScheduleJob(const std::wstring& jobPath, const std::wstring& when, const LanguageTable& texts);

// The unit name: the job's name kept to the characters systemd allows
// (anything else as "_"), then a hash of the job's full path, so no two jobs
// share one.
std::wstring ScheduleUnitName(const std::wstring& jobPath);
// The contents of the two files.
std::string ServiceText(const std::wstring& program, const std::wstring& jobPath,
                        const std::wstring& name);
std::string TimerText(const std::wstring& when, const std::wstring& name);

}  // namespace kelvane
