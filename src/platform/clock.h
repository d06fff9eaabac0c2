// Time as the program sees it, behind one seam beside the file system's
// (file_system.h), as leveldb keeps NowMicros in its Env: the wall clock
// (dates in names and in the log), a monotonic clock (durations, estimates,
// throttled output), and how long a thread that waits for work lets pass
// between its looks at the user (the pump tick).
//
// Clock() is the one in use: the system's, or a test's put in place with
// ScopedClock, whose time moves only when the test moves it. No other code
// reads a clock. Safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace kelvane::platform {

class Clock {
 public:
  virtual ~Clock() = default;

  // Unix time, in seconds.
  virtual int64_t WallSeconds() = 0;
  // Microseconds from a fixed point; never goes back.
  virtual int64_t MonotonicMicros() = 0;
  // How long a waiting thread lets pass before it looks at the user again.
  virtual std::chrono::milliseconds PumpTick() = 0;
};

// The clock in use.
Clock& Time();

// Puts `clock` in use for its lifetime (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock* clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace kelvane::platform
