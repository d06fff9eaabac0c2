// A fixed pool of worker threads that run queued tasks in push order.
//
// Each task receives the index of the worker that runs it (0..n-1). Destroying
// the pool lets every queued task run to its end, then joins the workers. An
// exception that escapes a task is kept in its future, never in the worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvane {

class TaskPool {
 public:
  explicit TaskPool(size_t workers);
  ~TaskPool();
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // Queues `task` and wakes one worker; the future is ready when it has run.
  std::future<void> Push(std::function<void(size_t workerIndex)> task);

  size_t size() const { return workers_.size(); }

 private:
  using Task = std::packaged_task<void(size_t)>;
  bool TryTake(Task* task);
  void Work(size_t index);

  std::mutex queueLock_;
  std::deque<Task> queue_;  // guarded by queueLock_
  std::atomic<bool> done_{false};
  std::mutex poolLock_;
  std::condition_variable wakeUp_;  // waited on with poolLock_
  std::vector<std::thread> workers_;
};

}  // namespace kelvane
