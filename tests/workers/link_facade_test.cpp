// The link facade: which job starts which worker, what StartJob and StopLink do to the
// link's switches, and that a host can wait for a stopped worker to end.
#include <gtest/gtest.h>

#include <chrono>

#include "link/link_state.h"
#include "test_host.h"
#include "tests/support/published_pty.h"
#include "workers/link_facade.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal published as COM 3 in a ports folder of its own, whose far end reads
// whatever is sent and never answers.
class SilentLine {
 public:
  ~SilentLine() { PortClose(); }

 private:
  testsupport::PublishedPty pty_{3, "varnel-facade"};
};

TEST(Facade, JobKindsMapToTheirWorkers) {
  for (JobKind k : {0u, 2u, 4u}) EXPECT_EQ(WorkerOf(k), JobWorker::Contents) << k;
  for (JobKind k : {1u, 3u, 9u}) EXPECT_EQ(WorkerOf(k), JobWorker::ReadWrite) << k;
  for (JobKind k : {5u, 6u, 7u, 8u, 10u, 255u}) EXPECT_EQ(WorkerOf(k), JobWorker::None) << k;
}

TEST(Facade, UnknownJobClearsCancelAndRetriesButStartsNothing) {
  TestHost host({});
  SetCancel();
  SetRetryMode(true);
  StartJob(host, 7, host.Device());
  EXPECT_FALSE(CancelFlag());
  EXPECT_FALSE(RetryMode());
  EXPECT_FALSE(WorkerRunning());
  host.Drain(30ms);
  EXPECT_TRUE(host.Messages().empty());
}

TEST(Facade, HangUpJobOutsideModemModeEndsAtOnceWithoutAWord) {
  TestHost host({});
  SetLinkModem(false);
  StartJob(host, kJobHangUp, host.Device());
  EXPECT_TRUE(WaitForWorker(2000));
  host.Drain(30ms);
  EXPECT_TRUE(host.Messages().empty());
}

TEST(Facade, JobThreeRunsTheFullReadWriteJobAsJobOne) {
  // No port is open: both jobs identify in vain and end having read nothing.
  for (JobKind kind : {kJobReadRecords, kJobReadRecordsToo}) {
    SCOPED_TRACE(kind);
    TestHost host({});
    SetLinkModem(false);
    StartJob(host, kind, host.Device());
    ASSERT_TRUE(WaitForWorker(20000));
    host.Drain(30ms);
    EXPECT_EQ(host.Results(), std::vector<int>{wdNothingRead});
    EXPECT_EQ(host.Events(), std::vector<int>{wsNoCommunication});
    ASSERT_FALSE(host.Messages().empty());
    EXPECT_EQ(host.Messages().front().Message, WM_WORKER_PROGRESS);
    EXPECT_EQ(host.Messages().front().W, kProgressRange);
  }
}

TEST(Facade, StopWithoutWorkerClosesThePortAndLeavesCancelSetUntilTheNextJob) {
  SilentLine line;
  ASSERT_TRUE(LinkOpen(3, 500));
  EXPECT_TRUE(PortIsOpen());
  StopLink();
  EXPECT_FALSE(PortIsOpen());
  EXPECT_TRUE(CancelFlag());
  TestHost host({});
  StartJob(host, 7, host.Device());
  EXPECT_FALSE(CancelFlag());
}

TEST(Facade, PortThatDoesNotExistFailsAfterTheReplyTimeout) {
  SilentLine line;  // its folder has no com0, and COM0 has no default device
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(LinkOpen(0, 300));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 300ms);
}

TEST(Facade, HostCanWaitForAStoppedWorkerBeforeItFreesTheDevice) {
  SilentLine line;
  ASSERT_TRUE(LinkOpen(3, 500));
  SetLinkModem(true);
  auto host = std::make_unique<TestHost>(TestHost::Setup{});
  StartJob(*host, kJobNextCall, host->Device());
  ASSERT_TRUE(host->RunUntil([&] { return host->SawEvent(wsWaitingForCall); }, 5s));
  EXPECT_TRUE(WorkerRunning());
  EXPECT_FALSE(WaitForWorker(50));  // it waits for a call that never comes
  StopLink();
  EXPECT_TRUE(WaitForWorker(200));
  EXPECT_FALSE(WorkerRunning());
  host->Drain(30ms);
  EXPECT_EQ(host->Results(), std::vector<int>{wdNoCall});
  host.reset();  // the device image goes; nothing may touch it any more
  SetLinkModem(false);
}

}  // namespace
}  // namespace varnel::testing
