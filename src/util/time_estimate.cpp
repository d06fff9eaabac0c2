#include "util/time_estimate.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/clock.h"
#include "platform/local_clock.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

constexpr double kShownCapSeconds = 3600.0;
// Far beyond any real run; keeps the conversion to an integer defined.
constexpr double kLargestShownSeconds = 1e12;

std::wstring HoursMinutesSeconds(double seconds) {
  // Infinite or undefined figures (nothing done yet) show as zero or the cap.
  if (!(seconds >= 0)) seconds = 0;
  seconds = std::min(seconds, kLargestShownSeconds);
  const auto h = static_cast<int64_t>(seconds) / 3600;
  const double rest = seconds - static_cast<double>(h * 3600);
  auto s = static_cast<int64_t>(rest);
  const int64_t m = s / 60;
  s %= 60;
  return FormatText(L"%2.2ld:%2.2ld:%2.2ld", h, m, s);
}

}  // namespace

TimeEstimate::TimeEstimate(uint64_t totalBytes) : TimeEstimate(totalBytes, NowNanos()) {}

TimeEstimate::TimeEstimate(uint64_t totalBytes, int64_t startNanos)
    : total(totalBytes), start(startNanos) {}

int64_t TimeEstimate::NowNanos() { return platform::Time().MonotonicMicros() * 1000; }

void TimeEstimate::Update(uint64_t done, uint32_t key) { UpdateAt(done, key, NowNanos()); }

void TimeEstimate::UpdateAt(uint64_t done, uint32_t key, int64_t nowNanos) {
  if (key == lastKey) return;
  elapsedSeconds = static_cast<double>(nowNanos - start) / 1e9;
  // In doubles, so a file that grew during the run gives a negative (shown as
  // zero) rather than a wrapped-around estimate.
  remainingSeconds = (static_cast<double>(total) - static_cast<double>(done)) *
                     (elapsedSeconds / static_cast<double>(done));
  // std::max keeps the earlier value when the new one is undefined (0 of 0).
  shownRemainingSeconds =
      std::min(std::max(shownRemainingSeconds, remainingSeconds), kShownCapSeconds);
  lastKey = key;
}

std::wstring TimeEstimate::FormatTimes(std::wstring_view tmpl) {
  elapsedText = HoursMinutesSeconds(elapsedSeconds);
  remainingText = HoursMinutesSeconds(lastKey <= 5 ? shownRemainingSeconds : remainingSeconds);
  return PrintFEx(tmpl, {elapsedText, remainingText});
}

uint64_t ProgressPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  const double f = 100.0 / static_cast<double>(total);
  return static_cast<uint64_t>(static_cast<double>(done) * f + 0.5);
}

std::wstring DateSuffix() { return platform::FormatLocalTime("_%Y-%m-%d_%H-%M"); }

bool IsDateSuffix(std::wstring_view text) {
  constexpr std::wstring_view kShape = L"_9999-99-99_99-99";
  if (text.size() != kShape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= L'0' && text[i] <= L'9';
    if (kShape[i] == L'9' ? !digit : text[i] != kShape[i]) return false;
  }
  return true;
}

}  // namespace kelvane
