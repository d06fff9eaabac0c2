// A run host for tests: records what the run says and asks (answering yes),
// its status lines and bar, and can confirm a cancel when a condition
// becomes true.
#pragma once

#include <functional>
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
    return true;
  }
  void OpenWithDesktop(const std::wstring&) override {}
  void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                      const std::wstring& times) override {
    lines = {files, sizes, times};
  }
  void SetProgressMarquee(bool) override {}
  void SetProgressRange(uint32_t) override {}
  void SetProgressPosition(uint32_t value) override { position = value; }
  void ShowProgressPercent(bool) override {}
  void RunEnded(const RunReport&) override {}

  std::function<bool()> cancelWhen;
  bool cancelled = false;
  int pumps = 0;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> warnings;
  std::vector<std::wstring> questions;
  std::vector<std::wstring> lines;
  uint32_t position = 0;
};

}  // namespace kelvane::test
