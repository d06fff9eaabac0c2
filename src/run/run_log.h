// The run log: one UTF-8 text file next to the target, one line per event,
// each line "[<local date> <local time>] <text>" with an LF line end.
//
// One process-wide object (ProcessLog()) that every thread of a run writes to:
// the run driver, the scan workers and the target task. Each line is written
// whole under a re-entrant lock, so lines never interleave. Lines go through a
// large buffer and reach the disk when it is full or at CloseLog; lines written
// while the log is closed are dropped.
//
// Date and time follow the environment's locale (LC_TIME, set by main()).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "util/buffered_file.h"
#include "util/text_util.h"

namespace kelvane {

class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Deletes a file at `path` and creates it anew, so it holds this run's lines
  // only. Returns 0, or 1627 when it cannot be created (the run then goes on
  // without a log).
  uint32_t OpenLog(const std::wstring& path);

  // Writes `text` as one line, unchanged (it is not a format).
  void WriteLogLine(std::wstring_view text);

  // Formats with FormatText (%s for texts, %ld for numbers) and writes one line.
  template <class... Args>
  void WriteLogFormat(std::wstring_view format, const Args&... args) {
    if (!IsOpen()) return;
    WriteLogLine(FormatText(format, args...));
  }

  // Writes what is buffered and closes the file. Closing a closed log does nothing.
  void CloseLog();

  bool IsOpen() const;

 private:
  const std::string& Prefix();

  mutable std::recursive_mutex lock_;
  BufferedFile file_;          // guarded by lock_
  int64_t prefixSecond_ = -1;  // guarded by lock_: the second prefix_ shows
  std::string prefix_;         // guarded by lock_
};

// The log of the current run.
RunLog& ProcessLog();

}  // namespace kelvane
