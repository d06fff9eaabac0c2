// The run log: one UTF-8 text file next to the target, one line per event,
// each line "[<local date> <local time>] <text>" with an LF line end.
//
// One process-wide object (ProcessLog()) that every thread of a run writes to:
// the run driver, the scan workers and the target task. Each line is written
// whole under a re-entrant lock, so lines never interleave. Lines go through a
// large buffer and reach the disk when it is full or at CloseLog; lines written
// while the log is closed are dropped.
//
// A line holds names that others chose, so its text is written escaped
// (util/line_escape.h): one event is always one line.
//
// Date and time follow the environment's locale (LC_TIME, set by main()).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/folder.h"
#include "util/buffered_file.h"
#include "util/format_text.h"

namespace kelvane {

class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates the log `name` in `folder` anew (whatever stood there, a link
  // included, is removed first), so it holds this run's lines only. Returns 0,
  // or 1627 when it cannot be created (the run then goes on without a log;
  // error() tells why).
  uint32_t OpenLog(const platform::Folder& folder, const std::wstring& name);
  // The same for a path.
  uint32_t OpenLog(const std::wstring& path);

  // Writes `text` as one line, unchanged but escaped (it is not a format).
  void WriteLogLine(std::wstring_view text);

  // Formats with FormatText (%s for texts, %ld for numbers) and writes one line.
  template <class... Args>
  void WriteLogFormat(std::wstring_view format, const Args&... args) {
    if (!IsOpen()) return;
    WriteLogLine(FormatText(format, args...));
  }

  // Writes what is buffered and closes the file. Closing a closed log does
  // nothing. Returns error().
  int CloseLog();

  bool IsOpen() const;
  // Lines written since the last open (also after CloseLog).
  uint64_t lineCount() const;
  // The errno value of the first failure since the last open: the log could
  // not be created or not be written whole. 0 when all went well.
  int error() const;

 private:
  uint32_t Opened(int error);
  const std::string& Prefix();

  mutable std::recursive_mutex lock_;
  BufferedFile file_;          // guarded by lock_
  int error_ = 0;              // guarded by lock_
  uint64_t lines_ = 0;         // guarded by lock_
  int64_t prefixSecond_ = -1;  // guarded by lock_: the second prefix_ shows
  std::string prefix_;         // guarded by lock_
};

// The log of the current run.
RunLog& ProcessLog();

}  // namespace kelvane
