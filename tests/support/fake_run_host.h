// A run host for tests: records everything the run shows and asks, and can
// confirm a cancel when a condition becomes true.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/run_host.h"

namespace kelvane::test {

class FakeRunHost : public RunHost {
 public:
  void PumpMessages() override {
    ++pumps;
    if (cancelWhen && cancelWhen()) cancelled = true;
  }
  bool CancelConfirmed() override { return cancelled; }
  void ShowMessage(const std::wstring& text, bool) override { messages.push_back(text); }
  void ShowWarning(const std::wstring& text) override { warnings.push_back(text); }
  bool AskYesNo(const std::wstring& question, bool) override {
    questions.push_back(question);
    return answer;
  }
  void OpenWithDesktop(const std::wstring& path) override { opened.push_back(path); }
  void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                      const std::wstring& times) override {
    lines = {files, sizes, times};
  }
  void SetProgressMarquee(bool on) override { marquee = on; }
  void SetProgressRange(uint32_t maximum) override { range = maximum; }
  void SetProgressPosition(uint32_t value) override { position = value; }
  void ShowProgressPercent(bool on) override { percent = on; }
  void RunEnded(const RunReport& report) override { ended = report; }

  std::function<bool()> cancelWhen;
  bool cancelled = false;
  bool answer = true;  // to every question
  int pumps = 0;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> warnings;
  std::vector<std::wstring> questions;
  std::vector<std::wstring> opened;
  std::vector<std::wstring> lines;
  bool marquee = false;
  bool percent = false;
  uint32_t range = 0;
  uint32_t position = 0;
  std::optional<RunReport> ended;
};

}  // namespace kelvane::test
