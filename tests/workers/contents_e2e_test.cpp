// The contents reading end to end: the record table of a wrapped ring and of a logger that
// goes on recording during the scan, an empty ring, a logger that answers late or never,
// and one that reports errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/ring.h"
#include "e2e_support.h"
#include "files/idc_reader.h"
#include "link/byte_order.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

constexpr int kFunctionIdentity = 48;
constexpr int kFunctionPageBlock = 68;

// The page of the logger's memory image, as the pages read must hold it.
std::vector<unsigned char> ImagePage(const std::vector<unsigned char>& image, int page) {
  const auto from = image.begin() + static_cast<std::ptrdiff_t>(page) * 64;
  return {from, from + 64};
}

TEST(Contents, WrappedRingGivesEveryRecordAndDropsThePageWrittenNextOnRead) {
  SimSandbox sim({"--address", "251", "--records", "6", "--wrapped", "--last-page", "700"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const Json before = sim.Truth();
  const auto truth = TruthRecords(before);
  const auto image = sim.MemoryAtStart();
  const int writePointer = static_cast<int>(before["memory"]["writePointer"].AsInt());
  const int lastRingPage = static_cast<int>(before["memory"]["lastRingPage"].AsInt());
  const int oldestPage = writePointer == lastRingPage ? 0 : writePointer + 1;
  ASSERT_EQ(truth.back().FirstPage, oldestPage) << "the oldest record must have lost its start";

  auto setup = HostFor(sim, 251);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));

  ASSERT_EQ(host.Device().RecCount(), static_cast<int>(truth.size()));
  ASSERT_EQ(host.Files().size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) {
    const TRec& rec = *host.Device().Rec(static_cast<int>(i));
    SCOPED_TRACE("record " + std::to_string(i));
    EXPECT_EQ(rec.LastPage, truth[i].LastPage);
    EXPECT_EQ(rec.Origin, writePointer);
    // Every page kept is the page of the memory, newest first, and belongs to the record.
    const auto& pages = host.PagesRead()[i];
    for (std::size_t k = 0; k < pages.size(); ++k) {
      const int expectedPage = truth[i].Pages[truth[i].Pages.size() - 1 - k];
      EXPECT_EQ(pages[k].PageNo, expectedPage);
      EXPECT_TRUE(std::equal(pages[k].Data.begin(), pages[k].Data.end(),
                             ImagePage(image, expectedPage).begin()));
    }
    if (i + 1 < truth.size()) {
      EXPECT_EQ(rec.FirstPage, truth[i].FirstPage);
      EXPECT_EQ(pages.size(), truth[i].Pages.size());
      ExpectFileHoldsRecord(host.Files()[i], truth[i]);
    } else {
      // The page the logger writes next is not kept: the oldest record starts one later.
      EXPECT_EQ(pages.size(), truth[i].Pages.size() - 1);
      EXPECT_EQ(rec.FirstPage, truth[i].Pages[1]);
      EXPECT_EQ(rec.StartTime, pages.back().Time);
      ExpectFileHoldsNewestPartOfRecord(host.Files()[i], truth[i]);
    }
  }
}

TEST(Contents, LoggerRecordingDuringTheScanLosesItsOverwrittenRecordsAndPages) {
  // A small ring that is full: every fourth request the logger writes a page over the
  // oldest one, so the scan and the readout race against it.
  SimSandbox sim({"--records", "12", "--wrapped", "--last-page", "260", "--record-pages", "30",
                  "--recording", "4"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truthBefore = TruthRecords(sim.Truth());

  auto setup = HostFor(sim, 250);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(120))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(host.EventValues(wsDeviceState).at(1), 2);  // recording active

  const TDevice& device = host.Device();
  const int count = device.RecCount();
  EXPECT_LT(count, static_cast<int>(truthBefore.size())) << "no record was overwritten";
  const TRec& oldest = *device.Rec(count - 1);
  const auto matching = std::find_if(truthBefore.begin(), truthBefore.end(), [&](const TruthRecord& r) {
    return r.LastPage == oldest.LastPage;
  });
  ASSERT_NE(matching, truthBefore.end());
  EXPECT_NE(oldest.FirstPage, matching->FirstPage) << "the oldest record's start did not move";
  EXPECT_GT(oldest.StartTime, matching->StartTime);

  // The write pointer the readout read after the pages: nothing at or before the page after
  // it may be kept.
  const auto frames = TruthFrames(sim.Frames());
  int afterReading = -1;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].Function == 93) break;
    if (frames[i].Function == 92 && frames[i].Data == std::vector<unsigned char>{1}) {
      afterReading = frames[i].Reply[5] << 8 | frames[i].Reply[6];
    }
  }
  ASSERT_GE(afterReading, 0);
  const auto lastRing = device.LastRingPage;
  const auto next = static_cast<std::uint16_t>(afterReading == lastRing ? 0 : afterReading + 1);
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    const TRec& rec = *device.Rec(i);
    for (const TPage& p : host.PagesRead()[static_cast<std::size_t>(i)]) {
      ++kept;
      EXPECT_GT(RingIndex(static_cast<std::uint16_t>(p.PageNo), rec.Origin, lastRing),
                RingIndex(next, rec.Origin, lastRing))
          << "page " << p.PageNo << " of record " << i;
      EXPECT_EQ(p.Link, host.PagesRead()[static_cast<std::size_t>(i)].front().Link);
    }
    if (!host.PagesRead()[static_cast<std::size_t>(i)].empty()) {
      EXPECT_EQ(rec.FirstPage, host.PagesRead()[static_cast<std::size_t>(i)].back().PageNo);
    }
  }
  EXPECT_GT(kept, 0);

  // The records that were complete before the job hold what the logger holds now, or more
  // (pages it overwrote after they were read).
  sim.Stop();
  const auto truthAfter = TruthRecords(sim.Truth());
  for (int i = 1; i < count; ++i) {
    const TRec& rec = *device.Rec(i);
    // The newest record is the one the logger went on writing; having come round the ring it
    // can end on the page where an older record ended, and is not that record.
    if (truthAfter.empty()) break;
    const auto now = std::find_if(truthAfter.begin() + 1, truthAfter.end(),
                                  [&](const TruthRecord& r) { return r.LastPage == rec.LastPage; });
    if (now == truthAfter.end()) continue;  // overwritten entirely since
    SCOPED_TRACE("record " + std::to_string(i));
    const IdcFile file = ReadIdcFile(host.Files()[static_cast<std::size_t>(i)]);
    ASSERT_GE(file.Measurements.size(), now->Entries.size());
    const std::size_t skip = file.Measurements.size() - now->Entries.size();
    for (std::size_t e = 0; e < now->Entries.size(); ++e) {
      EXPECT_EQ(file.Measurements[skip + e].DateTime, DeviceTimeToDateTime(now->Entries[e].Time));
      EXPECT_EQ(file.Measurements[skip + e].Kind, now->Entries[e].Kind);
      if (now->Entries[e].Value) {
        EXPECT_EQ(file.Measurements[skip + e].Value, *now->Entries[e].Value);
      }
    }
  }
}

TEST(Contents, LoggerRecordingOnARingNotYetWrappedKeepsItsOldestRecordsStart) {
  // The page after the write pointer is erased: it must not become the oldest record's start.
  SimSandbox sim({"--records", "3", "--record-pages", "10", "--recording", "6"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_EQ(truth.size(), 3u);
  auto setup = HostFor(sim, 250);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  ASSERT_EQ(host.Device().RecCount(), 3);
  const TRec& oldest = *host.Device().Rec(2);
  EXPECT_EQ(oldest.FirstPage, truth[2].FirstPage);
  EXPECT_EQ(oldest.StartTime, truth[2].StartTime);
  EXPECT_EQ(oldest.Span, truth[2].Span);
  ASSERT_EQ(host.Files().size(), 3u);
  for (std::size_t i = 1; i < 3; ++i) ExpectFileHoldsRecord(host.Files()[i], truth[i]);
}

TEST(Contents, EmptyRingEndsWithNoRecord) {
  SimSandbox sim({"--records", "0"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(HostFor(sim, 250));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(30)));
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdNoRecord});
  EXPECT_EQ(host.Device().RecCount(), 0);
}

TEST(Contents, ImpossibleMemoryLayoutIsRefusedAtOnce) {
  // Reserved pages above the last page would make the ring bound wrap round, and a write
  // pointer past the ring is no page of it: either way the logger is broken, not empty.
  for (const char* broken : {"reserved", "pointer"}) {
    SCOPED_TRACE(broken);
    SimSandbox sim({"--records", "3", "--last-page", "100", "--broken-layout", broken});
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    TestHost host(HostFor(sim, 250));
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(30)));
    host.Drain();
    EXPECT_EQ(host.Results(), std::vector<int>{wdContentsFailed});
    EXPECT_TRUE(host.SawEvent(wsMemoryLayoutInvalid));
    // Nothing after the layout: no page of the scan was asked for.
    for (const auto& f : TruthFrames(sim.Frames())) EXPECT_NE(f.Function, kFunctionPageBlock);
  }
}

TEST(Contents, LoggerAnsweringOnlyTheSixthIdentificationIsRead) {
  SimSandbox sim({"--records", "2", "--record-pages", "4", "--ignore-identity", "5"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  auto setup = HostFor(sim, 250);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  const auto frames = TruthFrames(sim.Frames());
  ASSERT_GE(frames.size(), 7u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(frames[static_cast<std::size_t>(i)].Function, kFunctionIdentity);
  EXPECT_NE(frames[6].Function, kFunctionIdentity);
  ASSERT_EQ(host.Files().size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) ExpectFileHoldsRecord(host.Files()[i], truth[i]);
}

TEST(Contents, LoggerThatNeverAnswersIsReportedAndNothingIsRead) {
  SimSandbox sim({"--ignore-identity", "1000"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(HostFor(sim, 250));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(30)));
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdContentsFailed});
  EXPECT_EQ(host.Events(), std::vector<int>{wsNoCommunication});
  EXPECT_EQ(TruthFrames(sim.Frames()).size(), 6u);  // six attempts, no frame retries
}

TEST(Contents, DeviceErrorsAreReportedAndEndTheContents) {
  SimSandbox sim({"--error-bits", "battery,ack"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(HostFor(sim, 250));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(30)));
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdContentsFailed});
  EXPECT_EQ(host.EventValues(wsDeviceError), (std::vector<std::int64_t>{1, 2}));
  EXPECT_FALSE(host.SawEvent(wsMemorySize));
}

}  // namespace
}  // namespace varnel::testing
