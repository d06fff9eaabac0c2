// A progress bar that can show its position as a percentage of its range
// ("42%") beside the bar, and a marquee while the amount of work is not
// known yet. GTK draws no text inside a bar, so the percentage is a label of
// its own; the marquee is the bar pulsed from a timer.
#pragma once

#include <wx/gauge.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <cstdint>
#include <string>

namespace kelvane::ui {

class CTextProgressCtrl : public wxPanel {
 public:
  CTextProgressCtrl(wxWindow* parent, int id);
  ~CTextProgressCtrl() override;

  void SetMarquee(bool on, int intervalMs = 50);
  void SetRange(uint32_t maximum);
  void SetPosition(uint32_t position);
  // Shows the percentage beside the bar.
  void ShowPercent(bool on);
  // What a screen reader calls the bar.
  void SetBarName(const wxString& name);

  bool marquee() const { return timer_.IsRunning(); }
  uint32_t range() const { return range_; }
  uint32_t position() const { return position_; }
  // The text beside the bar; empty while it is not shown.
  std::wstring percentText() const;

 private:
  void Arrange();
  void ShowPosition();

  wxGauge* gauge_;
  wxStaticText* percent_;
  wxTimer timer_;
  uint32_t range_ = 100;
  uint32_t position_ = 0;
  bool showPercent_ = false;
};

}  // namespace kelvane::ui
