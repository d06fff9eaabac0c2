// Elapsed and remaining time of a run, estimated from the share of bytes done.
//
// The estimate is recomputed only when the whole percentage (the key) changes.
// Up to 5 percent the remaining time shown is the largest estimate so far,
// capped at one hour, so early noise never shows a falling or absurd figure;
// from 6 percent on it follows the current estimate.
//
// Not thread-safe: the run's progress callback is its only user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

class TimeEstimate {
 public:
  // Starts measuring now for a run of `total` bytes.
  explicit TimeEstimate(uint64_t total = 0);
  // Starts measuring at `startNanos` of the monotonic clock (for tests).
  TimeEstimate(uint64_t total, int64_t startNanos);

  // Recomputes the times for `done` bytes unless `key` equals the last key.
  void Update(uint64_t done, uint32_t key);
  void UpdateAt(uint64_t done, uint32_t key, int64_t nowNanos);

  // `tmpl` with [1] the elapsed and [2] the remaining time, each as hh:mm:ss.
  std::wstring FormatTimes(std::wstring_view tmpl);

  // Nanoseconds of the monotonic clock.
  static int64_t NowNanos();

  uint64_t total;
  int64_t start;
  double elapsedSeconds = 0;
  double remainingSeconds = 0;
  double shownRemainingSeconds = 0;
  uint32_t lastKey = 101;
  std::wstring elapsedText;
  std::wstring remainingText;
};

// `done` as a whole percentage of `total`, rounded; 0 when `total` is 0.
uint64_t ProgressPercent(uint64_t done, uint64_t total);

// The local date and time for target names: "_YYYY-MM-DD_HH-MM".
std::wstring DateSuffix();

// True when `text` has the shape of a DateSuffix (digits where it has digits).
bool IsDateSuffix(std::wstring_view text);

}  // namespace kelvane
