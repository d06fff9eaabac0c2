#include "util/task_pool.h"

namespace kelvane {

TaskPool::TaskPool(size_t workers) {
  workers_.reserve(workers);
  for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this, i] { Work(i); });
}

TaskPool::~TaskPool() {
  {
    std::lock_guard<std::mutex> hold(poolLock_);
    done_ = true;
  }
  wakeUp_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

std::future<void> TaskPool::Push(std::function<void(size_t)> task) {
  Task packaged(std::move(task));
  std::future<void> result = packaged.get_future();
  {
    std::lock_guard<std::mutex> hold(queueLock_);
    queue_.push_back(std::move(packaged));
  }
  {
    // Under the pool lock, so a worker between its empty-queue check and its
    // wait cannot miss the signal.
    std::lock_guard<std::mutex> hold(poolLock_);
  }
  wakeUp_.notify_one();
  return result;
}

bool TaskPool::TryTake(Task* task) {
  std::lock_guard<std::mutex> hold(queueLock_);
  if (queue_.empty()) return false;
  *task = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void TaskPool::Work(size_t index) {
  for (;;) {
    Task task;
    while (TryTake(&task)) {
      task(index);
      task = Task();
    }
    std::unique_lock<std::mutex> hold(poolLock_);
    wakeUp_.wait(hold, [&] {
      std::lock_guard<std::mutex> queueHold(queueLock_);
      return done_ || !queue_.empty();
    });
    if (done_) {
      std::lock_guard<std::mutex> queueHold(queueLock_);
      if (queue_.empty()) return;
    }
  }
}

}  // namespace kelvane
