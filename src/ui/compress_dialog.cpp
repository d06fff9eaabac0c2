#include "ui/compress_dialog.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "job/json_document.h"
#include "language/language_table.h"
#include "platform/environment.h"
#include "platform/text_codec.h"
#include "ui/dialog_services.h"
#include "ui/svg_icons.h"
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

}  // namespace

CKelvaneCompressDlg::CKelvaneCompressDlg(wxWindow* parent, const JsonDocument& job,
                                         const LanguageTable& texts,
                                         const std::wstring& sevenZipLibrary, bool minimize)
    : DialogLayout(parent, "Kelvane", std::string(), nullptr),
      job_(job),
      texts_(texts),
      driver_(MakeRunDriver(*this, texts, sevenZipLibrary)),
      files_(new CPathStatic(this, kFilesLine, L"Anzahl")),
      size_(new CPathStatic(this, kSizeLine, texts.GetText(L"ui_collect_data"))),
      time_(new CPathStatic(this, kTimeLine, L"...", true)),
      progress_(new CTextProgressCtrl(this, kProgressBar)),
      cancel_(new wxButton(this, wxID_CANCEL, wxString(texts.GetText(L"ui_cancel")))),
      startTimer_(this, kStartTimer),
      closeTimer_(this, kCloseTimer) {
  SetIcons(ProgramIcons());

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
  AddSeparator();
  BeginGroup(kHorizontalGroup);
  AddSpacer();
  AddControl(cancel_, kFixedWidth | kFixedHeight, ui::Size{80, 0});
  EndGroup();
  EndGroup();

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
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
    // The close box is a cancel; a window with a run under way cannot go.
    if (event.CanVeto()) event.Veto();
    OnCancel();
  });
  startTimer_.StartOnce(200);
  if (minimize) {
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
    const RunReport report = driver_.Run(job_);
    CallAfter([this, report] { RunFinished(report); });
  });
}

void CKelvaneCompressDlg::RunFinished(const RunReport& report) {
  if (runThread_.joinable()) runThread_.join();
  running_ = false;
  ended_ = true;
  report_ = report;
  if (closeWhenDone_) {
    CloseWhenIdle(wxID_CANCEL);
  } else {
    closeTimer_.StartOnce(1000);
  }
}

void CKelvaneCompressDlg::CloseWhenIdle(int code) {
  // Never under an open question of ours: it comes back here when answered.
  if (asking_) {
    closeWhenDone_ = closeWhenDone_ || code == wxID_CANCEL;
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
    closeWhenDone_ = true;
  }
  // The run may have ended while the question was open.
  if (closeWhenDone_ && !running_) CloseWhenIdle(wxID_CANCEL);
  else if (ended_ && !closeTimer_.IsRunning()) closeTimer_.StartOnce(1000);
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
  Wait([&] {
    if (!Dialogs().OpenWithDesktop(path)) {
      Dialogs().ShowMessage(this, PrintFEx(texts_.GetText(L"open_file_failed"), {path}), true);
    }
  });
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
