// The run host of a run started from the command line without a window.
//
// Status goes to a stream (stderr): on a terminal one progress line that is
// redrawn in place, elsewhere (cron mail, a pipe) a plain line when the
// progress text changed and at least a second has passed, so a long run does
// not flood its log. SIGINT and SIGTERM are a confirmed cancel. Questions
// cannot be answered here: they take their unattended answer without
// waiting, and a file to open is named instead. At the end, one line says how
// the run went.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "run/run_host.h"

namespace kelvane {

class LanguageTable;

class ConsoleRunHost : public RunHost {
 public:
  // Writes to `out`; `terminal` chooses the redrawn line. `catchInterrupts`
  // turns SIGINT and SIGTERM into a cancel for the life of the process.
  ConsoleRunHost(std::FILE* out, bool terminal, bool catchInterrupts, const LanguageTable& texts);
  ~ConsoleRunHost() override;

  void PumpMessages() override;
  bool CancelConfirmed() override;
  void ShowMessage(const std::wstring& text, bool isError) override;
  void ShowWarning(const std::wstring& text) override;
  bool AskYesNo(const std::wstring& question, bool unattended) override;
  void OpenWithDesktop(const std::wstring& path) override;
  void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                      const std::wstring& times) override;
  void SetProgressMarquee(bool on) override;
  void SetProgressRange(uint32_t maximum) override;
  void SetProgressPosition(uint32_t position) override;
  void ShowProgressPercent(bool on) override;
  void RunEnded(const RunReport& report) override;

 private:
  void PrintLine(const std::wstring& text);
  void EndProgressLine();

  std::FILE* out_;
  bool terminal_;
  bool catchInterrupts_;
  const LanguageTable& texts_;
  bool cancelRequested_ = false;
  bool cancelAnnounced_ = false;
  bool progressLineOpen_ = false;
  std::string lastStatus_;
  int64_t lastPrinted_ = 0;  // monotonic microseconds; 0: never
};

}  // namespace kelvane
