// Stopping a worker that is blocked on a silent line, from another thread, the way the link
// facade stops a job: signal the port event, set the cancel flag, close the port.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "link/bus.h"
#include "link/link_state.h"
#include "link_fixture.h"
#include "tests/support/bus_result_check.h"

namespace varnel::testing {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace serial_port_stop_test {

constexpr std::int16_t kT = 5000;  // far longer than any stop may take
constexpr long long kStopLimitMs = 100;

class PortStopTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }

  // Runs blocked() on a worker thread, stops the link once the worker is inside it, and
  // returns how long the worker took to come back after the stop began.
  template <class R>
  long long StopWhileBlocked(std::function<R()> blocked, R* result) {
    std::promise<void> entered;
    std::atomic<long long> returnedAt{-1};
    Stopwatch clock;
    std::thread worker([&] {
      entered.set_value();
      *result = blocked();
      returnedAt = clock.Ms();
    });
    entered.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // well inside the call
    EXPECT_EQ(returnedAt.load(), -1) << "the call did not block";
    const long long stopAt = clock.Ms();
    SignalPortEvent();
    SetCancel();
    PortClose();
    worker.join();
    return returnedAt - stopAt;
  }
};

TEST_F(PortStopTest, StopEndsABlockedRead) {
  CreatePortEvent();
  IoResult r;
  const long long ms = StopWhileBlocked<IoResult>(
      [] {
        std::uint8_t b[16];
        return AcquirePort()->Read(b, sizeof b, GetPortEvent().get(), kNoWaitLimit);
      },
      &r);
  EXPECT_LT(ms, kStopLimitMs);
  EXPECT_EQ(r.status, IoStatus::Failed);
}

TEST_F(PortStopTest, StopEndsABlockedEventWaitWithAnEmptyMask) {
  CreatePortEvent();
  IoResult r;
  const long long ms = StopWhileBlocked<IoResult>(
      [] { return AcquirePort()->WaitEvent(kMaskReceive, GetPortEvent().get(), kNoWaitLimit); },
      &r);
  EXPECT_LT(ms, kStopLimitMs);
  EXPECT_TRUE(r.Completed());
  EXPECT_EQ(r.count, 0u);
}

TEST_F(PortStopTest, ClosingAloneEndsAWaitWithoutAnyEvent) {
  IoResult r;
  const long long ms = StopWhileBlocked<IoResult>(
      [] { return AcquirePort()->WaitEvent(kMaskEventChar, nullptr, kNoWaitLimit); }, &r);
  EXPECT_LT(ms, kStopLimitMs);
  EXPECT_EQ(r.count, 0u);
}

TEST_F(PortStopTest, StopEndsABlockedCommandWithCancelled) {
  SetRetryMode(true);
  std::int16_t r = 0;
  const long long ms = StopWhileBlocked<std::int16_t>(
      [] {
        std::uint8_t id[6];
        return BusReadIdentity(250, id);
      },
      &r);
  EXPECT_LT(ms, kStopLimitMs);
  EXPECT_BUS_RESULT(r, kBusCancelled);
}

TEST_F(PortStopTest, StopEndsAWriteToAFullLine) {
  std::shared_ptr<SerialPort> port = AcquirePort();
  CommTimeouts unlimited = StandardTimeouts(kT);
  unlimited.writeTotalConstant = 0;
  ASSERT_TRUE(port->SetTimeouts(unlimited));
  Peer().PauseReading(true);
  IoResult r;
  const long long ms = StopWhileBlocked<IoResult>(
      [port] {
        const Bytes big(1 << 20, 0x33);
        return port->Write(big.data(), big.size(), nullptr, kNoWaitLimit);
      },
      &r);
  Peer().PauseReading(false);
  EXPECT_LT(ms, kStopLimitMs);
  EXPECT_EQ(r.status, IoStatus::Failed);
}

TEST_F(PortStopTest, SignalAloneReleasesOneEventWait) {
  std::shared_ptr<PortEvent> event = CreatePortEvent();
  std::shared_ptr<SerialPort> port = AcquirePort();
  std::thread signaller([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    SignalPortEvent();
  });
  Stopwatch sw;
  const IoResult r = port->WaitEvent(kMaskReceive, event.get(), kNoWaitLimit);
  const long long ms = sw.Ms();
  signaller.join();
  EXPECT_TRUE(r.Completed());
  EXPECT_EQ(r.count, 0u);
  EXPECT_GE(ms, 140);
  EXPECT_LT(ms, 150 + kStopLimitMs);
  // Released once; the event has reset itself and the port is still open.
  EXPECT_TRUE(port->WaitEvent(kMaskReceive, event.get(), 100).TimedOut());
}

TEST_F(PortStopTest, SignalBeforeTheWaitReleasesTheNextWaitOnly) {
  std::shared_ptr<PortEvent> event = CreatePortEvent();
  std::shared_ptr<SerialPort> port = AcquirePort();
  SignalPortEvent();
  SignalPortEvent();  // still one release
  Stopwatch sw;
  EXPECT_EQ(port->WaitEvent(kMaskReceive, event.get(), 2000).count, 0u);
  EXPECT_LT(sw.Ms(), 100);
  EXPECT_TRUE(port->WaitEvent(kMaskReceive, event.get(), 100).TimedOut());

  // A new event starts clear, whatever became of the old one.
  SignalPortEvent();
  std::shared_ptr<PortEvent> fresh = CreatePortEvent();
  EXPECT_TRUE(port->WaitEvent(kMaskReceive, fresh.get(), 100).TimedOut());
  EXPECT_TRUE(event->TryConsume());
}

TEST_F(PortStopTest, ReadUsesUpASignalLikeACompletion) {
  std::shared_ptr<PortEvent> event = CreatePortEvent();
  std::shared_ptr<SerialPort> port = AcquirePort();
  ASSERT_TRUE(port->SetTimeouts(AfterFirstByteTimeouts()));
  SignalPortEvent();
  std::uint8_t b[2];
  const IoResult r = port->Read(b, 2, event.get(), kSingleWaitLimitMs);
  EXPECT_TRUE(r.Completed());  // the read went on to its own time limit
  EXPECT_FALSE(event->TryConsume());
}

}  // namespace serial_port_stop_test
}  // namespace varnel::testing
