// The waiting side of a long operation. Work runs on other threads; the
// operation's own thread waits for it and, every pump tick (platform/clock.h),
// lets the host handle the user's messages and turns a cancel the user
// confirmed into the operation's cancel flag, which the workers watch.
#pragma once

#include <atomic>
#include <functional>
#include <future>

#include "platform/clock.h"

namespace kelvane {

class OperationHost;

// Waits for `task`, calling `everyTick` each pump tick until it is ready; a
// task that ends between ticks is seen at once.
template <class T>
void WaitPumping(const std::future<T>& task, const std::function<void()>& everyTick) {
  while (task.wait_for(platform::Time().PumpTick()) != std::future_status::ready) {
    if (everyTick) everyTick();
  }
}

class OperationPump {
 public:
  // `cancelled` is the operation's flag.
  OperationPump(OperationHost& host, std::atomic<bool>& cancelled);

  // Lets the host handle the user's messages and takes a confirmed cancel;
  // true for the one call that took it (the run logs it once).
  bool Pump();

  // Forgets a cancel taken in an earlier operation.
  void Reset();

 private:
  OperationHost& host_;
  std::atomic<bool>& cancelled_;
  bool cancelTaken_ = false;
};

}  // namespace kelvane
