// Work shared out over every core: numbers handed out one at a time from one
// counter, so a slow item never holds up the rest of anyone's share.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

#include "util/task_pool.h"

namespace kelvane {

// Workers besides the caller's thread, one for each further core; null on a
// machine with one core. Kept for many calls of OnEveryCore, so a call costs
// no thread of its own.
std::unique_ptr<TaskPool> CoreHelpers();

// Calls `each` with 0 to count - 1, each number once, on this thread and
// `helpers` (may be null) together, until `stop` (may be null) is set;
// returns when all have stopped. A helper's exception (memory running out)
// comes out here as this thread's would: no item goes unhandled without a
// word.
void OnEveryCore(TaskPool* helpers, size_t count, const std::atomic<bool>* stop,
                 const std::function<void(size_t)>& each);

}  // namespace kelvane
