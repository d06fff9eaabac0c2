// The pumping wait of any long operation: the host is pumped while the work
// runs, and a confirmed cancel becomes the operation's flag exactly once.
#include "operation/operation_pump.h"

#include <gtest/gtest.h>

#include <future>

#include "support/fake_run_host.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

TEST(OperationPumpTest, ACancelConfirmedDuringTheWaitStopsTheWorkOnce) {
  test::FakeClock clock;
  test::FakeRunHost host;
  std::atomic<bool> cancelled{false};
  OperationPump pump(host, cancelled);
  host.cancelWhen = [&host] { return host.pumps >= 3; };
  // The work runs until the operation's flag tells it to stop.
  std::future<int> work = std::async(std::launch::async, [&cancelled] {
    test::WaitUntil([&cancelled] { return cancelled.load(); });
    return 7;
  });
  WaitPumping(work, [&pump] { pump.Pump(); });
  EXPECT_EQ(work.get(), 7);
  EXPECT_TRUE(cancelled);
  EXPECT_GE(host.pumps, 3);
  EXPECT_FALSE(pump.Pump()) << "a cancel is taken once";
  pump.Reset();
  EXPECT_FALSE(cancelled);
}

}  // namespace
}  // namespace kelvane
