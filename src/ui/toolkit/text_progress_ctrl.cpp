#include "ui/toolkit/text_progress_ctrl.h"

#include <algorithm>
#include <climits>

#include "ui/toolkit/accessible.h"
#include "util/format_text.h"

namespace kelvane::ui {
namespace {

// The bar's steps: a range larger than an int is drawn at this resolution.
constexpr int kGaugeSteps = 10000;

}  // namespace

CTextProgressCtrl::CTextProgressCtrl(wxWindow* parent, int id)
    : wxPanel(parent, id),
      gauge_(new wxGauge(this, wxID_ANY, kGaugeSteps, wxDefaultPosition, wxDefaultSize,
                         wxGA_HORIZONTAL | wxGA_SMOOTH)),
      percent_(new wxStaticText(this, wxID_ANY, "100%", wxDefaultPosition, wxDefaultSize,
                                wxALIGN_RIGHT | wxST_NO_AUTORESIZE)),
      timer_(this) {
  percent_->Hide();
  Bind(wxEVT_SIZE, [this](wxSizeEvent&) { Arrange(); });
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { gauge_->Pulse(); });
  ShowPosition();
}

CTextProgressCtrl::~CTextProgressCtrl() { timer_.Stop(); }

void CTextProgressCtrl::Arrange() {
  const wxSize client = GetClientSize();
  int labelWidth = 0;
  if (showPercent_) {
    labelWidth = percent_->GetTextExtent("100%").x + FromDIP(8);
    const int labelHeight = percent_->GetBestSize().y;
    percent_->SetSize(client.x - labelWidth, (client.y - labelHeight) / 2, labelWidth, labelHeight);
  }
  gauge_->SetSize(0, 0, std::max(client.x - labelWidth, 1), client.y);
}

void CTextProgressCtrl::SetMarquee(bool on, int intervalMs) {
  if (on) {
    gauge_->Pulse();
    timer_.Start(std::max(intervalMs, 15));
  } else {
    timer_.Stop();
    ShowPosition();
  }
}

void CTextProgressCtrl::SetRange(uint32_t maximum) {
  range_ = maximum;
  position_ = std::min(position_, range_);
  ShowPosition();
}

void CTextProgressCtrl::SetPosition(uint32_t position) {
  position_ = std::min(position, range_);
  ShowPosition();
}

void CTextProgressCtrl::SetBarName(const wxString& name) { SetAccessibleName(gauge_, name); }

void CTextProgressCtrl::ShowPercent(bool on) {
  if (on == showPercent_) return;
  showPercent_ = on;
  percent_->Show(on);
  Arrange();
  ShowPosition();
}

std::wstring CTextProgressCtrl::percentText() const {
  return showPercent_ ? percent_->GetLabel().ToStdWstring() : std::wstring();
}

void CTextProgressCtrl::ShowPosition() {
  const uint64_t percent = range_ == 0 ? 0 : uint64_t{position_} * 100 / range_;
  if (!timer_.IsRunning()) {
    const uint64_t steps = range_ == 0 ? 0 : uint64_t{position_} * kGaugeSteps / range_;
    gauge_->SetValue(static_cast<int>(steps));
  }
  if (showPercent_) {
    const wxString text(FormatText(L"%d%%", static_cast<int>(percent)));
    if (percent_->GetLabel() != text) percent_->SetLabel(text);
  }
}

}  // namespace kelvane::ui
