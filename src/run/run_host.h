// What a run needs from the window it runs in.
//
// The run driver is engine code and never talks to a window or a terminal
// itself; it talks to a RunHost. The console host (console_run_host.h) serves
// runs from the command line, the run dialog serves runs from the desktop.
// Every call comes from the thread that runs the driver (the window thread).
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class RunHost {
 public:
  virtual ~RunHost() = default;

  // Handles whatever the user did since the last call (repaints, buttons) and
  // returns without waiting. Called at least every 100 ms while work runs.
  virtual void PumpMessages() = 0;

  // True once the user has asked to cancel and confirmed it; stays true.
  virtual bool CancelConfirmed() = 0;

  // A message with an OK button (or a line on stderr).
  virtual void ShowMessage(const std::wstring& text, bool isError) = 0;

  // At the end of a run that logged `errorCount` errors: `question` asks
  // whether to open the log at `logPath`. A window asks; a console prints the
  // log's path instead of waiting for an answer.
  virtual void OfferLog(const std::wstring& question, uint32_t errorCount,
                        const std::wstring& logPath) = 0;

  // The three status lines: files, sizes, times.
  virtual void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                              const std::wstring& times) = 0;

  // The progress bar: a marquee while the amount of work is unknown, then a
  // range 0..maximum with a position and, once the range is set, a percentage.
  virtual void SetProgressMarquee(bool on) = 0;
  virtual void SetProgressRange(uint32_t maximum) = 0;
  virtual void SetProgressPosition(uint32_t position) = 0;
};

}  // namespace kelvane
