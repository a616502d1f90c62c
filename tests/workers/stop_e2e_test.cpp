// A stop (the operator releasing Start) in each phase of a job on a directly wired logger:
// the worker ends within the bound and reports the result of the phase it was in. (The
// modem phases are in modem_e2e_test.cpp.)
#include <gtest/gtest.h>

#include "e2e_support.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

int AdvancesSince(const TestHost& host, int event) {
  int n = -1;
  for (const auto& m : host.Messages()) {
    if (m.Message == WM_WORKER_STATUS && m.W == event) n = 0;
    if (n >= 0 && m.Message == WM_WORKER_PROGRESS && m.W == kProgressAdvance) ++n;
  }
  return n;
}

TEST(Stop, WhileWaitingForTheOptionsEndsTheContentsUnfinished) {
  SimSandbox sim({"--records", "2"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = HostFor(sim, 250);
  setup.answerOptions = false;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.SawEvent(wsSerialNumber); }, seconds(30)));
  host.RunUntil([] { return false; }, milliseconds(100));
  EXPECT_TRUE(WorkerRunning());
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdContentsFailed});
  EXPECT_FALSE(host.SawEvent(wsDeviceTime));
}

TEST(Stop, DuringTheRecordScanEndsTheContentsUnfinished) {
  SimSandbox sim({"--records", "40", "--record-pages", "3", "--reply-delay", "20"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(HostFor(sim, 250));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return AdvancesSince(host, wsMemorySize) >= 8; }, seconds(30)));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdContentsFailed});
}

TEST(Stop, DuringPageReadingLeavesAPartRecordThatALaterJobReadsAgainWhole) {
  SimSandbox sim({"--records", "2", "--record-pages", "60", "--seed", "5", "--reply-delay", "20"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_EQ(truth.size(), 2u);
  ASSERT_GT(truth[0].Span, 12);
  auto setup = HostFor(sim, 250);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  // Records are read oldest first: stop in the middle of the newest.
  ASSERT_TRUE(host.RunUntil(
      [&] { return host.EventValues(wsReadingRecord).size() == 2 && AdvancesSince(host, wsReadingRecord) >= 10; },
      seconds(60)))
      << Transcript(host);
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  ASSERT_TRUE(host.RunUntil([&] { return !host.FilesDone().empty(); }, seconds(10)));
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsPartly}));
  const TRec& newest = *host.Device().Rec(0);
  EXPECT_TRUE(newest.Partial);
  EXPECT_FALSE(newest.Read);
  const std::size_t partPages = host.PagesRead()[0].size();
  EXPECT_GE(partPages, 9u);
  EXPECT_LT(partPages, truth[0].Pages.size());
  ExpectFileHoldsNewestPartOfRecord(host.Files()[0], truth[0]);
  ExpectFileHoldsRecord(host.Files()[1], truth[1]);

  // Read again: the record read before is reported as such, the part record is read from
  // its newest page again, and its pages are not there twice.
  ASSERT_TRUE(host.Resume(kJobReadRecords));
  ASSERT_TRUE(host.RunUntil([&] { return host.FilesDone().size() == 2; }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsPartly, wdRecordsRead}));
  EXPECT_EQ(host.EventValues(wsRecordAlreadyRead), std::vector<std::int64_t>{1});
  EXPECT_EQ(host.PagesRead()[0].size(), truth[0].Pages.size());
  EXPECT_TRUE(host.Device().Rec(0)->Read);
  EXPECT_EQ(host.Device().Rec(0)->Span, truth[0].Span);
  ASSERT_EQ(host.Files().size(), 2u);
  ExpectFileHoldsRecord(host.Files()[0], truth[0]);
}

TEST(Stop, DuringTheWriteSequenceEndsWithoutRestartingTheLogger) {
  SimSandbox sim({"--records", "1", "--record-pages", "3", "--reply-delay", "20"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = HostFor(sim, 250);
  setup.loadOptions = [](TDevice& d) {
    d.WriteConfig = true;
    d.WriteText = true;
    d.NewID = true;
    d.Cfx.NewIdText = "Well 4";
    d.NewComment = true;
    d.Cfx.NewCommentText = std::string(200, 'x');
  };
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return AdvancesSince(host, wsNewId) >= 5; }, seconds(60)))
      << Transcript(host);
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  ASSERT_TRUE(host.RunUntil([&] { return !host.FilesDone().empty(); }, seconds(10)));
  // The record's pages were read in this job: the result says so, and its file is written.
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsPartly}));
  EXPECT_FALSE(host.SawEvent(wsDeviceRestarted));
  EXPECT_FALSE(host.SawEvent(wsTimeSynchronized));
  EXPECT_EQ(host.Files().size(), 1u);
}

}  // namespace
}  // namespace varnel::testing
