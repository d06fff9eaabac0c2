#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace kelvane::platform {
namespace {

class SystemClock final : public Clock {
 public:
  int64_t WallSeconds() override { return static_cast<int64_t>(std::time(nullptr)); }
  int64_t MonotonicMicros() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  std::chrono::milliseconds PumpTick() override { return std::chrono::milliseconds(100); }
};

SystemClock systemClock;
std::atomic<Clock*> current{&systemClock};

}  // namespace

Clock& Time() { return *current.load(); }

ScopedClock::ScopedClock(Clock* clock) : previous_(current.exchange(clock)) {}

ScopedClock::~ScopedClock() { current.store(previous_); }

}  // namespace kelvane::platform
