#include "util/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>

namespace kelvane {
namespace {

TEST(TaskPoolTest, RunsEveryTaskOnAWorkerWithItsIndex) {
  std::mutex lock;
  std::set<size_t> indexes;
  std::atomic<int> ran{0};
  std::vector<std::future<void>> handles;
  {
    TaskPool pool(4);
    for (int i = 0; i < 50; ++i) {
      handles.push_back(pool.Push([&](size_t worker) {
        std::lock_guard<std::mutex> hold(lock);
        indexes.insert(worker);
        ++ran;
      }));
    }
  }  // destruction lets every queued task finish
  EXPECT_EQ(ran.load(), 50);
  for (size_t index : indexes) EXPECT_LT(index, 4u);
  for (auto& handle : handles) EXPECT_NO_THROW(handle.get());
}

TEST(TaskPoolTest, AnExceptionStaysInItsFuture) {
  TaskPool pool(1);
  auto failing = pool.Push([](size_t) { throw std::runtime_error("walk failed"); });
  std::atomic<bool> after{false};
  auto next = pool.Push([&](size_t) { after = true; });
  next.get();
  EXPECT_TRUE(after);
  EXPECT_THROW(failing.get(), std::runtime_error);
}

TEST(TaskPoolTest, APoolWithoutWorkersEndsAtOnce) {
  TaskPool pool(0);
  EXPECT_EQ(pool.size(), 0u);
}

}  // namespace
}  // namespace kelvane
