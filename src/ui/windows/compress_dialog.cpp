#include "ui/windows/compress_dialog.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "profile/profile_store.h"
#include "storage/location_copy.h"
#include "run/run_driver.h"
#include "run/run_outcome.h"
#include "ui/toolkit/dialog_services.h"
#include "ui/toolkit/svg_icons.h"
#include "ui/toolkit/window_dpi.h"
#include "util/template_format.h"

namespace kelvane::ui {

using DARo3::kFixedHeight;
using DARo3::kFixedWidth;
using DARo3::kHorizontalGroup;
using DARo3::kVerticalGroup;

namespace {

// The width `window` needs to show `text` whole, in layout units. (A label
// that shortens its text has no natural width to ask for; a few pixels more
// than the text keep GTK from shortening it at the edge.)
int Width96(wxWindow* window, const std::wstring& text) {
  const int pixels = window->GetTextExtent(wxString(text)).x + 4;
  return ui::ScaleTo96(ui::Size{pixels, 0}, ui::GetLayoutDpi(window)).width;
}

constexpr char kRunWindowSection[] = "RunWindow";
constexpr char kCloseWhenDoneValue[] = "CloseWhenDone";

// The folder that holds what the run wrote: a folder target is one.
std::wstring TargetFolder(const std::wstring& targetPath) {
  if (targetPath.empty() || targetPath.back() == L'/') return targetPath;
  return targetPath.substr(0, targetPath.rfind(L'/') + 1);
}

}  // namespace

CKelvaneCompressDlg::CKelvaneCompressDlg(wxWindow* parent, const JsonDocument& job,
                                         const LanguageTable& texts,
                                         const std::wstring& sevenZipLibrary,
                                         const RunWindowOptions& options)
    : CKelvaneCompressDlg(
          parent,
          [&job, &texts, sevenZipLibrary, jobPath = options.jobPath](RunHost& host) {
            RunDriver driver = MakeRunDriver(host, texts, sevenZipLibrary);
            driver.SetJobPath(jobPath);
            driver.SetAfterRun(CopyAndKeepStep(sevenZipLibrary));
            return driver.Run(job);
          },
          texts, options) {}

CKelvaneCompressDlg::CKelvaneCompressDlg(wxWindow* parent, Operation operation,
                                         const LanguageTable& texts,
                                         const RunWindowOptions& options)
    : DialogLayout(parent,
                   wxString(options.jobName.empty() ? L"Kelvane" : L"Kelvane - " + options.jobName),
                   std::string(), nullptr),
      operation_(std::move(operation)),
      texts_(texts),
      profile_(options.profile),
      files_(new CPathStatic(this, kFilesLine, texts.GetText(L"ui_run_files_waiting"))),
      size_(new CPathStatic(this, kSizeLine, texts.GetText(L"ui_collect_data"))),
      time_(new CPathStatic(this, kTimeLine, L"...", true)),
      progress_(new CTextProgressCtrl(this, kProgressBar)),
      outcome_(new CPathStatic(this, kOutcomeLine, L"")),
      closeWhenDone_(new wxCheckBox(this, kCloseWhenDoneBox,
                                    wxString(texts.GetText(L"ui_run_close_when_done")))),
      openFolder_(
          new wxButton(this, kOpenFolderButton, wxString(texts.GetText(L"ui_run_open_folder")))),
      openLog_(new wxButton(this, kOpenLogButton, wxString(texts.GetText(L"ui_run_open_log")))),
      cancel_(new wxButton(this, wxID_CANCEL, wxString(texts.GetText(L"ui_cancel")))),
      startTimer_(this, kStartTimer),
      closeTimer_(this, kCloseTimer) {
  SetIcons(ProgramIcons());
  progress_->SetBarName(wxString(texts.GetText(L"ui_run_progress")));
  const bool remembered =
      profile_ && profile_->GetInt(kRunWindowSection, kCloseWhenDoneValue, 0) != 0;
  closeWhenDone_->SetValue(options.closeWhenDone || options.minimize || remembered);

  BeginGroup(kVerticalGroup);
  AddControl(files_, 0, ui::Size{380, 20});
  // Some room between the two lines, or a shortened size runs into the time.
  BeginGroup(kHorizontalGroup, 8, ui::Rect{0, 5, 0, 5});
  // Each half at least as wide as its longest usual text in this language.
  const std::wstring longestSize =
      PrintFEx(texts.GetText(L"ui_processed_kb"), {L"999.9 MB", L"999.9 MB", L"100"});
  const std::wstring longestTime =
      PrintFEx(texts.GetText(L"ui_estimatetime2"), {L"00:00:00", L"00:00:00"});
  AddControl(size_, 0, ui::Size{std::max(180, Width96(size_, longestSize)), 20});
  AddControl(time_, 0, ui::Size{std::max(180, Width96(time_, longestTime)), 20});
  EndGroup();
  AddControl(progress_, 0, ui::Size{380, 20});
  outcomeItem_ = AddControl(outcome_, 0, ui::Size{380, 20}, ui::Rect{0, 5, 0, 0});
  AddSeparator();
  BeginGroup(kHorizontalGroup, 6);
  AddControl(closeWhenDone_, kFixedWidth | kFixedHeight);
  AddSpacer();
  openFolderItem_ = AddControl(openFolder_, kFixedWidth | kFixedHeight, ui::Size{80, 0});
  openLogItem_ = AddControl(openLog_, kFixedWidth | kFixedHeight, ui::Size{80, 0});
  AddControl(cancel_, kFixedWidth | kFixedHeight, ui::Size{80, 0});
  EndGroup();
  EndGroup();
  // What the end shows takes no room before it.
  for (DARo3::LayoutItem* item : {outcomeItem_, openFolderItem_, openLogItem_}) {
    ShowItem(item, false);
  }

  Bind(
      wxEVT_TIMER,
      [this](wxTimerEvent&) {
        startTimer_.Stop();
        StartRun();
      },
      kStartTimer);
  Bind(
      wxEVT_TIMER, [this](wxTimerEvent&) { CloseWhenIdle(wxID_OK); }, kCloseTimer);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { StartRun(); }, wxID_OK);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
  Bind(
      wxEVT_BUTTON,
      [this](wxCommandEvent&) {
        if (report_) OpenOrSay(TargetFolder(report_->archivePath));
      },
      kOpenFolderButton);
  Bind(
      wxEVT_BUTTON,
      [this](wxCommandEvent&) {
        if (report_) OpenOrSay(report_->logPath);
      },
      kOpenLogButton);
  closeWhenDone_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    if (profile_) {
      profile_->WriteInt(kRunWindowSection, kCloseWhenDoneValue,
                         closeWhenDone_->GetValue() ? 1 : 0);
    }
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    // The close box is a cancel; a window with a run under way cannot go.
    if (event.CanVeto()) event.Veto();
    OnCancel();
  });
  startTimer_.StartOnce(200);
  if (options.minimize) {
    Centre();
    CallAfter([this] { Iconize(true); });
  }
}

CKelvaneCompressDlg::~CKelvaneCompressDlg() {
  startTimer_.Stop();
  closeTimer_.Stop();
  // Only reachable with a run under way if the window was torn down by
  // force; the driver must not outlive the host it calls.
  if (runThread_.joinable()) {
    cancelConfirmed_ = true;
    runThread_.join();
  }
}

template <class Work>
void CKelvaneCompressDlg::Post(Work work) {
  CallAfter(std::move(work));
}

template <class Work>
auto CKelvaneCompressDlg::Wait(Work work) -> decltype(work()) {
  using Result = decltype(work());
  std::promise<Result> done;
  std::future<Result> result = done.get_future();
  CallAfter([&done, &work] {
    try {
      if constexpr (std::is_void_v<Result>) {
        work();
        done.set_value();
      } else {
        done.set_value(work());
      }
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  return result.get();
}

void CKelvaneCompressDlg::StartRun() {
  // One run per window: the OK command and the start timer do nothing later.
  if (started_) return;
  started_ = running_ = true;
  runThread_ = std::thread([this] {
    const RunReport report = operation_(*this);
    CallAfter([this, report] { RunFinished(report); });
  });
}

void CKelvaneCompressDlg::RunFinished(const RunReport& report) {
  if (runThread_.joinable()) runThread_.join();
  running_ = false;
  ended_ = true;
  report_ = report;
  if (cancelled_) {
    CloseWhenIdle(wxID_CANCEL);
    return;
  }
  ShowOutcome(report);
  if (closeWhenDone_->GetValue()) closeTimer_.StartOnce(kCloseDelayMs);
}

void CKelvaneCompressDlg::ShowOutcome(const RunReport& report) {
  std::wstring outcome;
  for (const std::wstring& line : OutcomeLines(report, texts_)) {
    outcome += (outcome.empty() ? L"" : L" ") + line;
  }
  outcome_->SetPath(outcome);
  outcome_->SetToolTip(wxString(outcome));
  ShowItem(outcomeItem_, true);
  const std::wstring folder = TargetFolder(report.archivePath);
  ShowItem(openFolderItem_, !folder.empty() && platform::Fs().Exists(folder));
  // A clean run removes its empty log; only a log that is there is offered.
  ShowItem(openLogItem_, !report.logPath.empty() && platform::Fs().Exists(report.logPath));
  cancel_->SetLabel(wxString(texts_.GetText(L"ui_close")));
  // The window grows by the outcome line rather than squeezing the rest.
  const wxSize client = GetClientSize();
  const wxSize least(std::max(client.x, minimumClientSize().width),
                     std::max(client.y, minimumClientSize().height));
  if (least != client) SetClientSize(least);
  RunLayout();
  cancel_->SetFocus();
}

void CKelvaneCompressDlg::OpenOrSay(const std::wstring& path) {
  if (!Dialogs().OpenWithDesktop(path)) {
    Dialogs().ShowMessage(this, PrintFEx(texts_.GetText(L"open_file_failed"), {path}), true);
  }
}

void CKelvaneCompressDlg::CloseWhenIdle(int code) {
  // Never under an open question of ours: it comes back here when answered.
  if (asking_) {
    cancelled_ = cancelled_ || code == wxID_CANCEL;
    return;
  }
  if (running_ || !IsModal()) return;
  EndModal(code);
}

void CKelvaneCompressDlg::OnCancel() {
  if (asking_) return;
  if (ended_) {
    closeTimer_.Stop();
    CloseWhenIdle(wxID_CANCEL);
    return;
  }
  asking_ = true;
  const bool yes = Dialogs().AskYesNo(this, texts_.GetText(L"ui_userexit"));
  asking_ = false;
  if (yes) {
    startTimer_.Stop();
    started_ = true;  // a run not yet begun never begins
    cancelConfirmed_ = true;
    cancelled_ = true;
  }
  // The run may have ended while the question was open.
  if (cancelled_ && !running_) CloseWhenIdle(wxID_CANCEL);
  else if (ended_ && closeWhenDone_->GetValue() && !closeTimer_.IsRunning()) {
    closeTimer_.StartOnce(kCloseDelayMs);
  }
}

void CKelvaneCompressDlg::OnLayoutDpiChanged(uint32_t) {
  // The bar and the button take the dialog's font again at the new scale.
  progress_->SetFont(GetFont());
  cancel_->SetFont(GetFont());
  RunLayout();
}

void CKelvaneCompressDlg::PumpMessages() {
  // The window thread runs its own loop; nothing waits here.
}

bool CKelvaneCompressDlg::CancelConfirmed() {
  // SIGTERM or Ctrl-C in the starting terminal ends the run as cleanly as
  // the cancel button.
  return cancelConfirmed_ || platform::InterruptRequested();
}

void CKelvaneCompressDlg::ShowMessage(const std::wstring& text, bool isError) {
  Wait([&] { Dialogs().ShowMessage(this, text, isError); });
}

void CKelvaneCompressDlg::ShowWarning(const std::wstring& text) {
  // The log has it too; a window that waited for it would hold a run.
  std::fprintf(stderr, "kelvane: %s\n", platform::ToNative(text).c_str());
}

bool CKelvaneCompressDlg::AskYesNo(const std::wstring& question, bool) {
  return Wait([&] { return Dialogs().AskYesNo(this, question); });
}

void CKelvaneCompressDlg::OpenWithDesktop(const std::wstring& path) {
  Wait([&] { OpenOrSay(path); });
}

void CKelvaneCompressDlg::SetStatusLines(const std::wstring& files, const std::wstring& sizes,
                                         const std::wstring& times) {
  Post([this, files, sizes, times] {
    files_->SetPath(files);
    size_->SetPath(sizes);
    time_->SetPath(times);
  });
}

void CKelvaneCompressDlg::SetProgressMarquee(bool on) {
  Post([this, on] { progress_->SetMarquee(on); });
}

void CKelvaneCompressDlg::SetProgressRange(uint32_t maximum) {
  Post([this, maximum] { progress_->SetRange(maximum); });
}

void CKelvaneCompressDlg::SetProgressPosition(uint32_t position) {
  Post([this, position] { progress_->SetPosition(position); });
}

void CKelvaneCompressDlg::ShowProgressPercent(bool on) {
  Post([this, on] { progress_->ShowPercent(on); });
}

void CKelvaneCompressDlg::RunEnded(const RunReport&) {
  // The driver returns right after this; RunFinished takes over on the
  // window thread.
}

}  // namespace kelvane::ui
