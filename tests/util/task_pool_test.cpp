#include "util/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace kelvane {
namespace {

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
