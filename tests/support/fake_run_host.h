// A run host for tests: records everything the run shows and can confirm a
// cancel when a condition becomes true.
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
  void OfferLog(const std::wstring& question, uint32_t, const std::wstring& logPath) override {
    offers.push_back(question + L" | " + logPath);
  }
  void SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                      const std::wstring& times) override {
    lines = {files, sizes, times};
  }
  void SetProgressMarquee(bool on) override { marquee = on; }
  void SetProgressRange(uint32_t maximum) override { range = maximum; }
  void SetProgressPosition(uint32_t value) override { position = value; }

  std::function<bool()> cancelWhen;
  bool cancelled = false;
  int pumps = 0;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> offers;
  std::vector<std::wstring> lines;
  bool marquee = false;
  uint32_t range = 0;
  uint32_t position = 0;
};

}  // namespace kelvane::test
