// The run window: three status lines, a progress bar with its percentage and
// a cancel button, in which one long operation happens: a backup run, or any
// other operation given as a function of its host (a check, a restore), in
// the same look and with the same keys.
//
// 200 ms after it is shown the window starts the run; the operation works
// on a thread of its own while the window stays in its modal loop, so it
// repaints and answers the cancel button throughout. The window is the run's
// host: every host call from the driver's thread is passed to the window
// thread, and a question or a message holds the driver until the user has
// answered it.
//
// At the end the window says how the run went (the terminal's end line) and
// offers the backup's folder and the log, until the user closes it. It
// closes by itself, a second after the end, where nobody may be watching: a
// run started from the command line or minimised, or when the user ticked
// "close when done" (kept in the profile for the next run).
//
// Cancel asks first; Yes ends the run as Ctrl-C does in the terminal (the
// file being written is finished, an archive is dropped, an older one stays)
// and the window closes as soon as the driver is done. Once the run has
// ended, cancel closes at once. A second run never starts in one window.
#pragma once

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/timer.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "run/run_host.h"
#include "run/run_report.h"
#include "ui/toolkit/dialog_layout.h"
#include "ui/toolkit/path_static.h"
#include "ui/toolkit/text_progress_ctrl.h"

namespace kelvane {
class JsonDocument;
class LanguageTable;
class ProfileStore;
}  // namespace kelvane

namespace kelvane::ui {

struct RunWindowOptions {
  std::wstring jobName;             // in the title
  bool minimize = false;            // opens minimised (and closes when done)
  bool closeWhenDone = false;       // closes by itself, whatever the profile says
  ProfileStore* profile = nullptr;  // keeps the user's "close when done"; may be null
  std::wstring jobPath;             // the job's file, for the backup's manifest; may be empty
};

class CKelvaneCompressDlg : public DARo3::DialogLayout, public RunHost {
 public:
  enum ControlId : int {
    kProgressBar = 1000,
    kFilesLine = 1003,
    kSizeLine = 1004,
    kTimeLine = 1006,
    kOutcomeLine = 1007,
    kCloseWhenDoneBox = 1008,
    kOpenFolderButton = 1011,
    kOpenLogButton = 1012,
  };
  enum TimerId : int { kStartTimer = 1005, kCloseTimer = 1010 };
  static constexpr int kCloseDelayMs = 1000;

  // The operation, called once on a thread of its own with the window as its
  // host; its report is what the window shows at the end.
  using Operation = std::function<RunReport(RunHost& host)>;

  CKelvaneCompressDlg(wxWindow* parent, Operation operation, const LanguageTable& texts,
                      const RunWindowOptions& options);
  // Runs `job` (kept by the caller for the window's life) with the targets of
  // this build; 7z through `sevenZipLibrary`.
  CKelvaneCompressDlg(wxWindow* parent, const JsonDocument& job, const LanguageTable& texts,
                      const std::wstring& sevenZipLibrary, const RunWindowOptions& options);
  ~CKelvaneCompressDlg() override;

  // How the run went; none when the window closed before a run began.
  const std::optional<RunReport>& report() const { return report_; }
  bool running() const { return running_; }
  bool ended() const { return ended_; }
  // How long after the end the window stays before it closes by itself, in
  // milliseconds, so the last numbers can be read; 0 while it does not close.
  int closesAfter() const { return closeTimer_.IsRunning() ? closeTimer_.GetInterval() : 0; }

  CPathStatic& filesLine() { return *files_; }
  CPathStatic& sizeLine() { return *size_; }
  CPathStatic& timeLine() { return *time_; }
  CTextProgressCtrl& progressBar() { return *progress_; }
  CPathStatic& outcomeLine() { return *outcome_; }
  wxButton& cancelButton() { return *cancel_; }
  wxButton& openFolderButton() { return *openFolder_; }
  wxButton& openLogButton() { return *openLog_; }
  wxCheckBox& closeWhenDoneBox() { return *closeWhenDone_; }

  // RunHost, called from the driver's thread.
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

 protected:
  void OnLayoutDpiChanged(uint32_t dpi) override;

 private:
  void StartRun();
  void OnCancel();
  void RunFinished(const RunReport& report);
  void ShowOutcome(const RunReport& report);
  void CloseWhenIdle(int code);
  void OpenOrSay(const std::wstring& path);

  // Runs `work` on the window thread, later (Post) or while the caller waits
  // for its result (Wait).
  template <class Work>
  void Post(Work work);
  template <class Work>
  auto Wait(Work work) -> decltype(work());

  Operation operation_;
  const LanguageTable& texts_;
  ProfileStore* profile_;
  CPathStatic* files_;
  CPathStatic* size_;
  CPathStatic* time_;
  CTextProgressCtrl* progress_;
  CPathStatic* outcome_;
  wxCheckBox* closeWhenDone_;
  wxButton* openFolder_;
  wxButton* openLog_;
  wxButton* cancel_;
  DARo3::LayoutItem* outcomeItem_ = nullptr;
  DARo3::LayoutItem* openFolderItem_ = nullptr;
  DARo3::LayoutItem* openLogItem_ = nullptr;
  wxTimer startTimer_;
  wxTimer closeTimer_;
  std::thread runThread_;
  std::atomic<bool> cancelConfirmed_{false};
  std::optional<RunReport> report_;
  bool started_ = false, running_ = false, ended_ = false;
  bool cancelled_ = false, asking_ = false;
};

}  // namespace kelvane::ui
