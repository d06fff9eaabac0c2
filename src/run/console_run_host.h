// The run host of a run started from the command line without a window.
//
// Status goes to a stream (stderr): on a terminal one progress line that is
// redrawn in place, elsewhere (cron mail, a pipe) a plain line when the
// progress text changed and at least a second has passed, so a long run does
// not flood its log. SIGINT and SIGTERM are a confirmed cancel: questions
// cannot be answered here, so they take their default without waiting.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "run/run_host.h"

namespace kelvane {

class ConsoleRunHost : public RunHost {
 public:
  // Writes to `out`; `terminal` chooses the redrawn line. `catchInterrupts`
  // turns SIGINT and SIGTERM into a cancel for the life of the process.
  ConsoleRunHost(std::FILE* out, bool terminal, bool catchInterrupts);
  ~ConsoleRunHost() override;

  void PumpMessages() override;
  bool CancelConfirmed() override;
  void ShowMessage(const std::wstring& text, bool isError) override;
  void OfferLog(const std::wstring& question, uint32_t errorCount,
                const std::wstring& logPath) override;
  void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                      const std::wstring& times) override;
  void SetProgressMarquee(bool on) override;
  void SetProgressRange(uint32_t maximum) override;
  void SetProgressPosition(uint32_t position) override;

  // Ends the progress line and prints how the run ended.
  void Finish(const std::wstring& summary);

  // For tests: a cancel as if the user had pressed Ctrl-C.
  void RequestCancel() { cancelRequested_ = true; }

 private:
  void PrintLine(const std::string& line);
  void EndProgressLine();

  std::FILE* out_;
  bool terminal_;
  bool catchInterrupts_;
  bool cancelRequested_ = false;
  bool cancelAnnounced_ = false;
  bool progressLineOpen_ = false;
  std::string lastStatus_;
  std::chrono::steady_clock::time_point lastPrinted_{};
};

}  // namespace kelvane
