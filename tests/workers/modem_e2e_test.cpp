// Whole calls through the simulated modems: modem set-up, the wait for the call, contents,
// records, write sequence, files and the hang-up -- and what a dropped call or a stop in
// one of the modem phases leaves behind.
#include <gtest/gtest.h>

#include "e2e_support.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

constexpr int kFunctionIdentity = 48;
constexpr int kFunctionSerial = 69;
constexpr int kFunctionReadConfig = 92;
constexpr int kFunctionWriteConfig = 93;
constexpr int kFunctionReadFloat = 30;
constexpr int kFunctionPageBlock = 68;

TestHost::Setup ModemHost(const SimSandbox& sim) {
  auto setup = HostFor(sim, 251);
  setup.modem = true;
  setup.modemCmd[0] = "AT&D0";
  setup.modemCmdActive[0] = 1;
  setup.modemCmd[2] = "ATS0=2";
  setup.modemCmdActive[2] = 2;  // only a switch of exactly 1 sends a predefined command
  setup.modemCmd[6] = "ATX4;ATS7=60";
  setup.modemCmdActive[6] = 1;
  setup.loadOptions = [](TDevice& d) {
    d.ReadActualRec = false;
    d.ReadFromYear = 2000;
    d.ReadFromMonth = 1;
  };
  return setup;
}

TEST(ModemCall, RunsFromModemSetUpThroughRecordsAndFilesToTheHangUp) {
  SimSandbox sim({"--modem", "--call-after", "2.6", "--hangup-after", "2", "--calls", "1",
                  "--records", "3", "--record-pages", "70"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const Json before = sim.Truth();
  const auto truth = TruthRecords(before);

  TestHost host(ModemHost(sim));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(90))) << Transcript(host);

  EXPECT_EQ(host.Results(),
            (std::vector<int>{wdContentsRead, wdRecordsRead, wdAwaitHangUp, wdHungUp}));
  EXPECT_EQ(host.FilesDone(), std::vector<int>{1});
  EXPECT_EQ(host.EventTexts(wsModemWrite),
            (std::vector<std::string>{"AT\r\n", "ATV1\r\n", "ATE0\r\n", "AT&D0\r\n", "ATX4\r\n",
                                      "ATS7=60\r\n"}));
  const auto answers = host.EventTexts(wsModemRead);
  ASSERT_EQ(answers.size(), 4u);  // the answers to ATV1 and ATE0 are checked, not shown
  for (const auto& a : answers) EXPECT_NE(a.find("OK"), std::string::npos) << a;
  for (int event : {wsWaitingForCall, wsModemConnected, wsDeviceRestarted, wsModemDisconnected}) {
    EXPECT_TRUE(host.SawEvent(event)) << "event " << event;
  }

  ASSERT_EQ(host.Files().size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) ExpectFileHoldsRecord(host.Files()[i], truth[i]);

  // The frames on the wire, in order.
  const int idPage = static_cast<int>(before["memory"]["idPage"].AsInt());
  const int commentPage = static_cast<int>(before["memory"]["commentPage"].AsInt());
  FrameCursor wire(TruthFrames(sim.Frames()));
  wire.Expect(kFunctionIdentity);
  wire.Expect(kFunctionSerial);
  wire.Expect(kFunctionReadConfig, {3});
  wire.Expect(kFunctionReadConfig, {8});
  wire.Expect(kFunctionReadConfig, {1});
  wire.Expect(kFunctionReadConfig, {2});
  const int scan = wire.SkipWhile([](const TruthFrame& f) {
    return (f.Function == kFunctionPageBlock && f.Data.size() == 3 && f.Data[2] == 0) ||
           (f.Function == kFunctionReadConfig && f.Data == std::vector<unsigned char>{1});
  });
  EXPECT_GE(scan, static_cast<int>(2 * truth.size()));
  wire.Expect(kFunctionPageBlock, {static_cast<unsigned char>(idPage >> 8),
                                   static_cast<unsigned char>(idPage & 0xFF), 1});
  wire.Expect(kFunctionIdentity);
  wire.Expect(kFunctionSerial);
  // The comment fits on its first page, which ends it.
  wire.Expect(kFunctionPageBlock, {static_cast<unsigned char>(commentPage >> 8),
                                   static_cast<unsigned char>(commentPage & 0xFF), 1});
  wire.Expect(kFunctionReadConfig, {9});  // firmware 3.12 has the wide entry 9
  wire.Expect(kFunctionReadConfig, {6});
  wire.Expect(kFunctionReadConfig, {7});
  wire.Expect(kFunctionReadFloat, {96});
  wire.Expect(kFunctionReadFloat, {97});
  wire.Expect(kFunctionReadConfig, {1});
  wire.Expect(kFunctionReadConfig, {4});
  for (unsigned char f = 100; f <= 111; ++f) wire.Expect(kFunctionReadFloat, {f});
  wire.Expect(kFunctionReadConfig, {8});
  for (unsigned char f = 80; f <= 83; ++f) wire.Expect(kFunctionReadFloat, {f});  // P1, P2
  wire.Expect(kFunctionReadConfig, {1});
  wire.Expect(kFunctionReadConfig, {1});
  int pages = 0;
  wire.SkipWhile([&](const TruthFrame& f) {
    if (f.Function != kFunctionPageBlock || f.Data.size() != 3 || f.Data[2] == 0) return false;
    EXPECT_LE(f.Data[2], 50);
    pages += f.Data[2];
    return true;
  });
  int expected = 0;
  for (const auto& r : truth) expected += r.Span + 1;
  EXPECT_EQ(pages, expected);
  wire.Expect(kFunctionReadConfig, {1});
  wire.Expect(kFunctionWriteConfig, {0, 2});
  wire.Expect(kFunctionWriteConfig, {3});  // the clock (the default options set it)
  wire.Expect(kFunctionWriteConfig, {0, 5});
  EXPECT_TRUE(wire.AtEnd());
}

TEST(ModemCall, DroppedDuringPageReadingLeavesAPartlyReadRecordAndItsFile) {
  // One long record from page 0: the contents take five page reads (three headers in the
  // scan, one in the check for a recording logger, the identity page) and the comment one,
  // so the line drops in the second block of the record.
  SimSandbox sim({"--modem", "--call-after", "2.6", "--calls", "1", "--records", "1",
                  "--record-pages", "300", "--hangup-after-pages", "7"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_EQ(truth.size(), 1u);
  ASSERT_GT(truth[0].Span, 100) << "the record must need more than two blocks";

  TestHost host(ModemHost(sim));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil(
      [&] { return !host.FilesDone().empty() && host.SawResult(wdAwaitHangUp); }, seconds(120)))
      << Transcript(host);
  EXPECT_EQ(host.Results(), (std::vector<int>{wdContentsRead, wdRecordsPartly, wdAwaitHangUp}));
  EXPECT_FALSE(host.SawEvent(wsDeviceRestarted));

  int partial = -1;
  for (int i = 0; i < host.Device().RecCount(); ++i) {
    if (host.Device().Rec(i)->Partial) partial = i;
  }
  ASSERT_GE(partial, 0);
  const TRec& rec = *host.Device().Rec(partial);
  EXPECT_FALSE(rec.Read);
  EXPECT_EQ(rec.Span, truth[static_cast<std::size_t>(partial)].Span);  // the file worker's restore
  ASSERT_EQ(host.PagesRead().size(), truth.size());
  const auto& pagesRead = host.PagesRead()[static_cast<std::size_t>(partial)];
  EXPECT_GT(pagesRead.size(), 0u);
  EXPECT_LT(static_cast<int>(pagesRead.size()), rec.Span + 1);

  // The modem's report of the dropped line went by during the retries: the tail waits in
  // vain, and a stop there ends it at once.
  const auto stopped = host.StopAndWait();
  EXPECT_LE(stopped, kStopLimit);
  host.Drain();
  EXPECT_FALSE(host.SawResult(wdHungUp));

  EXPECT_EQ(host.FilesDone(), std::vector<int>{1});
  ASSERT_FALSE(host.Files().empty());
  std::size_t file = 0;
  for (int i = 0; i < host.Device().RecCount(); ++i) {
    const TRec& r = *host.Device().Rec(i);
    if (!r.Read && !r.Partial) continue;
    ASSERT_LT(file, host.Files().size());
    if (r.Partial) {
      ExpectFileHoldsNewestPartOfRecord(host.Files()[file], truth[static_cast<std::size_t>(i)]);
    } else {
      ExpectFileHoldsRecord(host.Files()[file], truth[static_cast<std::size_t>(i)]);
    }
    ++file;
  }
}

TEST(ModemSetUp, NumericAnswerCountsForAtAndEveryListPieceIsSentUntilOneGoesUnanswered) {
  // A modem in numeric mode answers "0" to AT; ATV1 makes it answer in words. An empty piece
  // of the operator's list is a bare CR LF, which the modem does not answer: the set-up has
  // failed and the host starts it again.
  SimSandbox sim({"--modem", "--numeric", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = ModemHost(sim);
  setup.modemCmdActive[0] = 0;
  setup.modemCmd[6] = "ATX4;;ATS7=60;";
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.SawResult(wdInitFailed); }, seconds(30))) << Transcript(host);
  host.StopAndWait();
  host.Drain();
  const auto writes = host.EventTexts(wsModemWrite);
  ASSERT_GE(writes.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(writes.begin(), writes.begin() + 5),
            (std::vector<std::string>{"AT\r\n", "ATV1\r\n", "ATE0\r\n", "ATX4\r\n", "\r\n"}));
  const auto answers = host.EventTexts(wsModemRead);
  ASSERT_GE(answers.size(), 2u);
  EXPECT_EQ(answers[0].find("OK"), std::string::npos);
  EXPECT_NE(answers[0].find('0'), std::string::npos);
  EXPECT_EQ(host.Results().front(), wdInitFailed);
  EXPECT_TRUE(host.SawEvent(wsModemTimeout));
}

TEST(ModemSetUp, ListEndingWithASemicolonSendsNothingAfterItsLastCommand) {
  SimSandbox sim({"--modem", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = ModemHost(sim);
  setup.modemCmdActive[0] = 0;
  setup.modemCmd[6] = "ATX4;ATS7=60;";
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.SawEvent(wsWaitingForCall); }, seconds(30))) << Transcript(host);
  host.StopAndWait();
  host.Drain();
  EXPECT_EQ(host.EventTexts(wsModemWrite),
            (std::vector<std::string>{"AT\r\n", "ATV1\r\n", "ATE0\r\n", "ATX4\r\n", "ATS7=60\r\n"}));
}

TEST(ModemStop, DuringTheModemSetUpEndsWithInitFailed) {
  SimSandbox sim({"--modem", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(ModemHost(sim));
  ASSERT_TRUE(host.Start());
  // Within the pause that lets the modem settle after the port is set up.
  host.RunUntil([] { return false; }, milliseconds(300));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdInitFailed});
  EXPECT_TRUE(host.EventTexts(wsModemWrite).empty());
}

TEST(ModemStop, WhileWaitingForAnAnswerEndsWithInitFailed) {
  SimSandbox sim({"--modem", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(ModemHost(sim));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.EventTexts(wsModemWrite).size() == 2; }, seconds(10)));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdInitFailed});
}

TEST(ModemStop, WhileWaitingForTheCallEndsWithNoCall) {
  SimSandbox sim({"--modem", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(ModemHost(sim));
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.SawEvent(wsWaitingForCall); }, seconds(15)));
  host.RunUntil([] { return false; }, milliseconds(200));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdNoCall});
  EXPECT_FALSE(host.SawEvent(wsModemConnected));
}

}  // namespace
}  // namespace varnel::testing
