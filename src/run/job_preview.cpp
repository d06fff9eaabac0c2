#include "run/job_preview.h"

#include <mutex>

#include "run/run_driver.h"
#include "run/run_host.h"

namespace kelvane {
namespace {

// The host of a preview: nobody to ask or to show progress to; what a run
// would say goes into the preview, and the stop request is its cancel.
class PreviewHost : public RunHost {
 public:
  PreviewHost(const std::atomic<bool>& stop, std::vector<std::wstring>& said)
      : stop_(stop), said_(said) {}

  void PumpMessages() override {}
  bool CancelConfirmed() override { return stop_.load(); }
  void ShowMessage(const std::wstring& text, bool) override { said_.push_back(text); }
  void ShowWarning(const std::wstring& text) override { said_.push_back(text); }
  bool AskYesNo(const std::wstring&, bool unattended) override { return unattended; }
  void OpenWithDesktop(const std::wstring&) override {}
  void SetStatusLines(const std::wstring&, const std::wstring&, const std::wstring&) override {}
  void SetProgressMarquee(bool) override {}
  void SetProgressRange(uint32_t) override {}
  void SetProgressPosition(uint32_t) override {}
  void ShowProgressPercent(bool) override {}
  void RunEnded(const RunReport&) override {}

 private:
  const std::atomic<bool>& stop_;
  std::vector<std::wstring>& said_;
};

}  // namespace

LeftOutKind KindOfReason(std::wstring_view reason) {
  struct Row {
    std::wstring_view reason;
    LeftOutKind kind;
  };
  static constexpr Row kRows[] = {
      {L"no Extension", LeftOutKind::kNoExtension},
      {L"FILE_ATTRIBUTE_HIDDEN", LeftOutKind::kHidden},
      {L"in Blacklist", LeftOutKind::kBlackList},
      {L"not in Whitelist", LeftOutKind::kNotInWhiteList},
      {L"in Blacklist (path)", LeftOutKind::kExcludedFolder},
      {L"in Blacklist (wildcard)", LeftOutKind::kExcludedFolder},
      {L"IO_REPARSE_TAG_SYMLINK", LeftOutKind::kLink},
      {L"FILE_ATTRIBUTE_ARCHIVE not set", LeftOutKind::kUnchanged},
  };
  for (const Row& row : kRows) {
    if (row.reason == reason) return row.kind;
  }
  return LeftOutKind::kOther;
}

JobPreview PreviewJob(const JsonDocument& job, const LanguageTable& texts,
                      const std::atomic<bool>& stop) {
  JobPreview preview;
  PreviewHost host(stop, preview.warnings);
  // The targets are never written; the driver knows them as a run's does.
  RunDriver driver = MakeRunDriver(host, texts, L"");
  std::mutex found;
  DryRunSink sink;
  sink.skipped = [&](const std::wstring& path, std::wstring_view reason) {
    const LeftOutKind kind = KindOfReason(reason);
    std::lock_guard<std::mutex> hold(found);
    preview.leftOut.push_back(LeftOutEntry{path, std::wstring(reason), kind});
    ++preview.counts[static_cast<size_t>(kind)];
  };
  const DryRunResult result = driver.DryRun(job, sink);
  switch (result.outcome) {
    case RunOutcome::kJobUnreadable: preview.state = JobPreview::State::kJobUnreadable; break;
    case RunOutcome::kAborted:
      // Stopped, or refused as a run would be (the warnings say why).
      preview.state = stop.load() ? JobPreview::State::kStopped : JobPreview::State::kJobUnreadable;
      break;
    default: break;
  }
  preview.files = result.files;
  preview.bytes = result.bytes;
  return preview;
}

}  // namespace kelvane
