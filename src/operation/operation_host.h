// What a long operation (a run, a check, a restore, a prune, an upload) needs
// from the window or terminal it runs in: the user's messages handled while
// it works, cancel, status lines and progress, messages and questions.
//
// Operations are engine code and never talk to a window or a terminal
// themselves. The console host serves them from the command line, the run
// window from the desktop, each the same for every operation. Every call
// comes from the thread that runs the operation; a window host passes them on
// to its window thread.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class OperationHost {
 public:
  virtual ~OperationHost() = default;

  // Handles whatever the user did since the last call (repaints, buttons) and
  // returns without waiting. Called every pump tick while work runs.
  virtual void PumpMessages() = 0;

  // True once the user has asked to cancel and confirmed it; stays true.
  virtual bool CancelConfirmed() = 0;

  // A message with an OK button (or a line on stderr).
  virtual void ShowMessage(const std::wstring& text, bool isError) = 0;

  // A line the user should see without being stopped by it: never a box that
  // waits for an unattended operation.
  virtual void ShowWarning(const std::wstring& text) = 0;

  // A Yes/No question. A window asks and waits for the answer; a host that
  // cannot ask (the console) answers `unattended` at once.
  virtual bool AskYesNo(const std::wstring& question, bool unattended) = 0;

  // Opens the file at `path` with the program the desktop chooses for it; a
  // console says where the file is instead.
  virtual void OpenWithDesktop(const std::wstring& path) = 0;

  // The three status lines: files, sizes, times.
  virtual void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                              const std::wstring& times) = 0;

  // The progress bar: a marquee while the amount of work is unknown, then a
  // range 0..maximum with a position, shown as a percentage of the range
  // while ShowProgressPercent is on.
  virtual void SetProgressMarquee(bool on) = 0;
  virtual void SetProgressRange(uint32_t maximum) = 0;
  virtual void SetProgressPosition(uint32_t position) = 0;
  virtual void ShowProgressPercent(bool on) = 0;
};

}  // namespace kelvane
