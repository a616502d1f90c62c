// Whole calls through the simulated modems: modem set-up, the wait for the call, contents,
// records, write sequence, files and the hang-up -- and what a dropped call or a stop in
// one of the modem phases leaves behind.
#include <gtest/gtest.h>

#include <thread>

#include "e2e_support.h"
#include "link/link_state.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace modem_e2e_test {

constexpr int kFunctionIdentity = 48;
constexpr int kFunctionSerial = 69;
constexpr int kFunctionReadConfig = 92;
constexpr int kFunctionWriteConfig = 93;
constexpr int kFunctionReadFloat = 30;
constexpr int kFunctionPageBlock = 68;
constexpr int kFunctionWritePageBytes = 36;

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
  // The modem reports the end of the call 0.1 s after the logger's restart, before the
  // collector starts to wait for it.
  SimSandbox sim({"--modem", "--call-after", "2.6", "--hangup-after", "0.1", "--calls", "1",
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
  std::chrono::steady_clock::time_point awaiting, hungUp;
  for (const auto& m : host.Messages()) {
    if (m.Message == WM_WORKER_DONE && m.W == wdAwaitHangUp) awaiting = m.At;
    if (m.Message == WM_WORKER_DONE && m.W == wdHungUp) hungUp = m.At;
  }
  EXPECT_LT(hungUp - awaiting, seconds(3)) << "the report must not wait for the idle hang-up";
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
  wire.Expect(kFunctionSerial);  // still the same logger before anything is written
  wire.Expect(kFunctionWriteConfig, {0, 2});
  wire.Expect(kFunctionWriteConfig, {3});  // the clock (the default options set it)
  wire.Expect(kFunctionWriteConfig, {0, 5});
  EXPECT_TRUE(wire.AtEnd());
}

TEST(ModemCall, DroppedCallEndsItsJobAndTheNextCallsFromAnotherLoggerAreServedAsTheirOwn) {
  // One long record from page 0: the contents take five page reads (three headers in the
  // scan, one in the check for a recording logger, the identity page) and the comment one,
  // so the first call drops in the second block of the record. The next call follows 1.3 s
  // after the report of the end -- well within the retries of a block read -- and comes from
  // another serial number; the third follows as quickly after the second's hang-up.
  constexpr std::uint32_t kFirst = 1001;
  constexpr std::uint32_t kSecond = 2002;
  SimSandbox sim({"--modem", "--call-after", "1.3", "--hangup-after", "0.5", "--calls", "3",
                  "--records", "1", "--record-pages", "300", "--hangup-after-pages", "7",
                  "--serial", std::to_string(kFirst), "--next-serial", std::to_string(kSecond)});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const auto truth = TruthRecords(sim.Truth());
  ASSERT_EQ(truth.size(), 1u);
  ASSERT_GT(truth[0].Span, 100) << "the record must need more than two blocks";

  auto setup = ModemHost(sim);
  setup.calls = 3;
  setup.loadOptions = [](TDevice& d) {
    d.ReadActualRec = false;
    d.ReadFromYear = 2000;
    d.ReadFromMonth = 1;
    if (d.SerialNumber != kFirst) return;
    d.WriteConfig = d.WriteText = d.NewID = true;  // a one-shot option of the first logger
    d.Cfx.NewIdText = "FIRST";
  };
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.FilesDone().size() == 1 && host.SawResult(wdHungUp); },
                            seconds(120)))
      << Transcript(host);
  // The first call's partly read record became a file of its newest pages.
  ASSERT_EQ(host.Files().size(), 1u) << Transcript(host);
  ExpectFileHoldsNewestPartOfRecord(host.Files()[0], truth[0]);

  ASSERT_TRUE(host.RunUntil([&] { return host.CountResult(wdHungUp) == 3 && host.FilesDone().size() == 3; },
                            seconds(180)))
      << Transcript(host);
  EXPECT_EQ(host.Results(),
            (std::vector<int>{wdContentsRead, wdRecordsPartly, wdAwaitHangUp, wdHungUp,
                              wdContentsRead, wdRecordsRead, wdAwaitHangUp, wdHungUp,
                              wdContentsRead, wdRecordsRead, wdAwaitHangUp, wdHungUp}));
  EXPECT_FALSE(host.SawEvent(wsDeviceChanged));

  // Each call begins with its own identification, and only the first logger's own call
  // could have written its identity text: the first call ended before its write sequence.
  const auto frames = TruthFrames(sim.Frames());
  for (int call = 1; call <= 3; ++call) {
    std::vector<TruthFrame> ofCall;
    for (const auto& f : frames) {
      if (f.Call == call) ofCall.push_back(f);
    }
    SCOPED_TRACE("call " + std::to_string(call));
    ASSERT_GE(ofCall.size(), 3u);
    FrameCursor wire(ofCall);
    wire.Expect(kFunctionIdentity);
    wire.Expect(kFunctionSerial);
    wire.Expect(kFunctionReadConfig, {3});
    for (const auto& f : ofCall) {
      EXPECT_NE(f.Function, kFunctionWritePageBytes);
      if (call == 1) {
        EXPECT_NE(f.Function, kFunctionWriteConfig);
      }
    }
  }
}

TEST(ModemSetUp, NumericAnswerCountsForAtAndAnEmptyListPieceIsSkipped) {
  // A modem in numeric mode answers "0" to AT; ATV1 makes it answer in words. An empty piece
  // of the operator's list (";;") would be a bare CR LF that no modem answers.
  SimSandbox sim({"--modem", "--numeric", "--call-after", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = ModemHost(sim);
  setup.modemCmdActive[0] = 0;
  setup.modemCmd[6] = "ATX4;;ATS7=60;";
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return host.SawEvent(wsWaitingForCall); }, seconds(30))) << Transcript(host);
  host.StopAndWait();
  host.Drain();
  EXPECT_EQ(host.EventTexts(wsModemWrite),
            (std::vector<std::string>{"AT\r\n", "ATV1\r\n", "ATE0\r\n", "ATX4\r\n", "ATS7=60\r\n"}));
  const auto answers = host.EventTexts(wsModemRead);
  ASSERT_GE(answers.size(), 2u);
  EXPECT_EQ(answers[0].find("OK"), std::string::npos);
  EXPECT_NE(answers[0].find('0'), std::string::npos);
  EXPECT_FALSE(host.SawEvent(wsModemTimeout));
  EXPECT_FALSE(host.SawResult(wdInitFailed));
  EXPECT_EQ(host.EventValues(wsModemCommandSkipped), std::vector<std::int64_t>{1});
}

TEST(ModemSetUp, CallAnnouncedInACommandsAnswerIsTakenAtOnce) {
  // "AT&V" waits 2 s for its answer; the logger calls 1.3 s after the command, so the
  // announcement arrives with the answer. Sending the list after it would go into the call.
  SimSandbox sim({"--modem", "--call-after", "1.3", "--calls", "1", "--records", "2",
                  "--record-pages", "3"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  auto setup = ModemHost(sim);
  setup.modemCmd[4] = "AT&V";
  setup.modemCmdActive[4] = 1;
  setup.readAfterContents = false;
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(40))) << Transcript(host);
  host.StopAndWait();
  host.Drain();
  EXPECT_EQ(host.Results().front(), wdContentsRead) << Transcript(host);
  EXPECT_EQ(host.EventTexts(wsModemWrite),
            (std::vector<std::string>{"AT\r\n", "ATV1\r\n", "ATE0\r\n", "AT&D0\r\n", "AT&V\r\n"}));
  EXPECT_TRUE(host.SawEvent(wsModemConnected));
  EXPECT_FALSE(host.SawEvent(wsModemTimeout));
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
  // Within the pause that lets the modem settle after the port is set up. The stop raises
  // the flag before it closes the port; the flag alone must already keep every command in.
  host.RunUntil([] { return false; }, milliseconds(300));
  SetCancel();
  host.RunUntil([] { return false; }, milliseconds(300));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  // The host starts the set-up again after the first failure, as the window does; the stop
  // ends that one in its settle pause too.
  ASSERT_FALSE(host.Results().empty());
  for (int result : host.Results()) EXPECT_EQ(result, wdInitFailed);
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

TEST(ModemWait, ACallTheModemReportedBeforeTheWaitBeganIsNotTakenForANewOne) {
  // The logger calls and gives up while nobody listens: the modem's reports of that call
  // are in the line's input when the wait for the next call begins.
  SimSandbox sim({"--modem", "--no-setup-wait", "--call-after", "1", "--idle-hangup", "1",
                  "--calls", "1", "--linger", "30"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(ModemHost(sim));
  host.Device().Address = 251;
  host.Device().ReplyTimeout = 2000;
  SetLinkModem(true);
  SetLinkEcho(false);
  ASSERT_TRUE(LinkOpen(static_cast<std::int16_t>(sim.Port()), 2000));
  const auto until = std::chrono::steady_clock::now() + seconds(15);
  while (sim.Truth()["calls"].AsInt() < 1) {
    ASSERT_LT(std::chrono::steady_clock::now(), until) << "the call did not end";
    std::this_thread::sleep_for(milliseconds(100));
  }

  host.Begin(kJobNextCall);
  host.RunUntil([&] { return host.SawEvent(wsModemConnected); }, seconds(2));
  EXPECT_FALSE(host.SawEvent(wsModemConnected));
  EXPECT_LE(host.StopAndWait(), kStopLimit);
  host.Drain();
  EXPECT_EQ(host.Results(), std::vector<int>{wdNoCall}) << Transcript(host);
}

// The logger calls while nobody listens (the restart countdown of the last call runs) and
// is still on the line when the wait for the next call begins: it is served, not purged.
TEST(ModemWait, ACallStillOnWhenTheWaitBeginsIsServed) {
  SimSandbox sim({"--modem", "--no-setup-wait", "--call-after", "1", "--calls", "1",
                  "--records", "1"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  TestHost host(ModemHost(sim));
  host.Device().Address = 251;
  host.Device().ReplyTimeout = 2000;
  SetLinkModem(true);
  SetLinkEcho(false);
  ASSERT_TRUE(LinkOpen(static_cast<std::int16_t>(sim.Port()), 2000));
  std::this_thread::sleep_for(seconds(2));  // the modem connects the call meanwhile

  host.Begin(kJobNextCall);
  ASSERT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, seconds(30)))
      << Transcript(host);
  EXPECT_TRUE(host.SawEvent(wsModemConnected));
  EXPECT_EQ(host.Results().front(), wdContentsRead) << Transcript(host);
  EXPECT_LE(host.StopAndWait(), kStopLimit);
}

}  // namespace modem_e2e_test
}  // namespace varnel::testing
