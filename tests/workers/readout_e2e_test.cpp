// Reading records end to end against vtq-sim without a modem: the page path (byte reads
// below address 250, one-page block reads at 250) and the block path (251 and above); the
// .idc files must hold exactly the measurements the simulator's truth file gives.
#include <gtest/gtest.h>

#include "e2e_support.h"
#include "files/idc_reader.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

struct PathCase {
  const char* name;
  int address;
  std::vector<std::string> simArgs;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class ReadoutPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(ReadoutPaths, FilesHoldExactlyTheMeasurementsOfEveryRecord) {
  const PathCase& c = GetParam();
  std::vector<std::string> args = {"--address", std::to_string(c.address)};
  args.insert(args.end(), c.simArgs.begin(), c.simArgs.end());
  SimSandbox sim(args);
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_FALSE(truth.empty());

  auto setup = HostFor(sim, static_cast<std::uint8_t>(c.address));
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60)));

  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(host.FilesDone(), std::vector<int>{1});
  ASSERT_EQ(host.Device().RecCount(), static_cast<int>(truth.size()));
  ASSERT_EQ(host.Files().size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_EQ(host.Device().Rec(static_cast<int>(i))->FirstPage, truth[i].FirstPage);
    EXPECT_EQ(host.Device().Rec(static_cast<int>(i))->LastPage, truth[i].LastPage);
    ExpectFileHoldsRecord(host.Files()[i], truth[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ReadoutPaths,
    ::testing::Values(PathCase{"BytesBelow250", 17, {"--records", "3", "--record-pages", "5"}},
                      PathCase{"PagesAt250", 250, {"--records", "4", "--record-pages", "30"}},
                      PathCase{"BlocksAt251", 251, {"--records", "3", "--record-pages", "130"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Readout, ReadFromMonthSelectsSeveralRecordsIncludingOneOfASinglePage) {
  SimSandbox sim({"--records", "6"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_EQ(truth.size(), 6u);
  // The cut: the month of record 3; records 4 and 5 began in an earlier month.
  int year = 0, month = 0, olderYear = 0, olderMonth = 0;
  DeviceYearMonth(truth[3].StartTime, year, month);
  DeviceYearMonth(truth[4].StartTime, olderYear, olderMonth);
  ASSERT_LT(olderYear * 12 + olderMonth, year * 12 + month);
  ASSERT_EQ(truth[2].Span, 0) << "the generator no longer makes a one-page record here";

  auto setup = HostFor(sim, 250);
  setup.loadOptions = [&](TDevice& d) {
    d.ReadActualRec = false;
    d.ReadFromYear = static_cast<std::uint16_t>(year);
    d.ReadFromMonth = static_cast<std::uint8_t>(month);
  };
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  // Oldest selected record first.
  EXPECT_EQ(host.EventValues(wsReadingRecord), (std::vector<std::int64_t>{3, 2, 1, 0}));
  ASSERT_EQ(host.Files().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) ExpectFileHoldsRecord(host.Files()[i], truth[i]);
  EXPECT_EQ(host.PagesRead()[2].size(), 1u);
  for (int i = 4; i < 6; ++i) {
    EXPECT_FALSE(host.Device().Rec(i)->Read);
    EXPECT_TRUE(host.PagesRead()[static_cast<std::size_t>(i)].empty());
  }
}

TEST(Readout, CorruptedRepliesAreRepeatedUntilTheyArriveIntact) {
  SimSandbox sim({"--address", "251", "--records", "3", "--record-pages", "120", "--corrupt", "0.15",
                  "--seed", "7"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  auto setup = HostFor(sim, 251);
  setup.selection = TestHost::Selection::All;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(90))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  int corrupted = 0;
  for (const auto& f : TruthFrames(sim.Frames())) corrupted += !f.Note.empty();
  EXPECT_GT(corrupted, 3);
  ASSERT_EQ(host.Files().size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) ExpectFileHoldsRecord(host.Files()[i], truth[i]);
}

TEST(Readout, DeviceErrorReplyDuringReadingKeepsThePagesReadSoFar) {
  // One record from page 0: five block reads for the contents, one for the comment, one
  // block of the record; the next block is refused with device error 2.
  SimSandbox sim({"--address", "251", "--records", "1", "--record-pages", "300", "--error-reply",
                  "68:2:7"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_GT(truth[0].Span, 100);
  auto setup = HostFor(sim, 251);
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsPartly}));
  EXPECT_FALSE(host.SawEvent(wsDeviceRestarted));
  ASSERT_EQ(host.PagesRead()[0].size(), 50u);  // one block, and the refused one not retried
  const TRec& rec = *host.Device().Rec(0);
  EXPECT_TRUE(rec.Partial);
  EXPECT_FALSE(rec.Read);
  EXPECT_EQ(rec.PrevSpan, truth[0].Span);
  EXPECT_EQ(rec.Span, truth[0].Span);  // given back by the file worker
  ASSERT_EQ(host.Files().size(), 1u);
  ExpectFileHoldsNewestPartOfRecord(host.Files()[0], truth[0]);
  // The refusal of a block read is shorter than the block: the frame layer repeats it as a
  // short reply, and the job ends on it with nothing read after.
  const auto frames = TruthFrames(sim.Frames());
  std::size_t first = 0;
  while (first < frames.size() && frames[first].Note != "error reply") ++first;
  ASSERT_LT(first, frames.size());
  for (std::size_t i = first; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].Note, "error reply");
    EXPECT_EQ(frames[i].Data, frames[first].Data);
  }
}

TEST(Readout, AnotherLoggerOnTheLineIsNotReadAsTheOneWhoseTableIsHeld) {
  // Without a modem each restart ends a "call"; from the second one on the logger reports
  // another serial number.
  SimSandbox sim({"--records", "2", "--record-pages", "4", "--next-serial", "777"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = HostFor(sim, 250);
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  ASSERT_TRUE(host.Device().ConfigKnown);
  host.Begin(kJobReadRecords);
  ASSERT_TRUE(host.RunUntil([&] { return host.Results().size() == 3; }, seconds(30)));
  host.Drain();
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsRead, wdNothingRead}));
  EXPECT_EQ(host.Events().back(), wsDeviceChanged);
  EXPECT_FALSE(host.Device().ConfigKnown);
  EXPECT_EQ(host.Device().SerialNumber, 40123u);
}

TEST(Readout, CommentFillingEveryCommentPageIsReadWhole) {
  // Two comment pages; the comment fills both, so no 0xFF ends it.
  std::string comment;
  for (int i = 0; i < 128; ++i) comment.push_back(static_cast<char>('a' + i % 26));
  SimSandbox sim({"--reserved-pages", "3", "--records", "1", "--record-pages", "3", "--comment", comment});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  ASSERT_EQ(sim.Truth()["commentText"].AsString(), comment);
  TestHost host(HostFor(sim, 250));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(60))) << Transcript(host);
  EXPECT_EQ(host.Device().CommentText.Text(), comment);
  ASSERT_EQ(host.Files().size(), 1u);
  EXPECT_EQ(ReadIdcFile(host.Files()[0]).CommentText, comment);
  const int lastPage = host.Device().LastPage;
  for (const auto& f : TruthFrames(sim.Frames())) {
    if (f.Function == 68 && f.Data.size() == 3) {
      EXPECT_LE(f.Data[0] << 8 | f.Data[1], lastPage);
    }
  }
}

}  // namespace
}  // namespace varnel::testing
