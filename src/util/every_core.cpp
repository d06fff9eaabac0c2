#include "util/every_core.h"

#include <future>
#include <thread>
#include <vector>

namespace kelvane {

std::unique_ptr<TaskPool> CoreHelpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? std::make_unique<TaskPool>(cores - 1) : nullptr;
}

namespace {

// The helpers' share, waited for even when this thread's share throws: they
// work on the caller's locals.
struct HelpersDone : std::vector<std::future<void>> {
  ~HelpersDone() {
    for (std::future<void>& helper : *this) {
      if (helper.valid()) helper.wait();
    }
  }
};

}  // namespace

void OnEveryCore(TaskPool* helpers, size_t count, const std::atomic<bool>* stop,
                 const std::function<void(size_t)>& each) {
  std::atomic<size_t> next{0};
  const auto work = [&](size_t) {
    for (size_t i; !(stop && stop->load()) && (i = next++) < count;) each(i);
  };
  HelpersDone helping;
  if (helpers && count > 1) {
    for (size_t i = 0; i < helpers->size(); ++i) helping.push_back(helpers->Push(work));
  }
  work(0);
  for (std::future<void>& helper : helping) helper.get();
}

}  // namespace kelvane
