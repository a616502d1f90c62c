// The stop event: auto-reset, one release per signal, across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/port_event.h"
#include "link_fixture.h"

namespace varnel::testing {
namespace {

TEST(PortEventTest, ReleasesOneWaitPerSignal) {
  PortEvent e;
  ASSERT_TRUE(e.Valid());
  EXPECT_FALSE(e.TryConsume());
  e.Signal();
  e.Signal();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0));
  Stopwatch sw;
  EXPECT_FALSE(e.Wait(120));
  EXPECT_GE(sw.Ms(), 115);
}

TEST(PortEventTest, SignalFromAnotherThreadWakesOneOfTwoWaiters) {
  PortEvent e;
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (e.Wait(400)) ++woken;
  };
  std::thread a(waiter);
  std::thread b(waiter);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  e.Signal();
  a.join();
  b.join();
  EXPECT_EQ(woken, 1);
}

}  // namespace
}  // namespace varnel::testing
