// Several loggers behind one modem: who they are, and who gets the line when.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/fleet.h"
#include "sim/truth_file.h"
#include "tests/support/fleet_truth.h"

namespace varnel::sim {
namespace {

using testsupport::FleetTruth;
using testsupport::Json;

LoggerSetup Small() {
  LoggerSetup s;
  s.layout = {127, 4};
  s.fill.records = 3;
  s.fill.maxPagesPerRecord = 10;
  s.seed = 5;
  s.registers.serial = 700;
  return s;
}

TEST(Fleet, ALoggerIsTheSameWhateverTheSizeOfTheFleet) {
  FleetSettings few, many;
  few.loggers = 2;
  many.loggers = 5;
  few.windowMs = many.windowMs = 60000;
  const Fleet a(few, Small()), b(many, Small());
  ASSERT_EQ(a.error(), "");
  ASSERT_EQ(b.error(), "");
  ASSERT_EQ(b.members().size(), 5u);
  for (std::size_t i = 0; i < 2; ++i) {
    const Fleet::Member& x = a.members()[i];
    const Fleet::Member& y = b.members()[i];
    EXPECT_EQ(x.serial, 700 + i);
    EXPECT_EQ(x.logger->device().regs.serial, x.serial);
    EXPECT_EQ(x.seed, y.seed);
    EXPECT_EQ(x.firstCallMs, y.firstCallMs);
    EXPECT_EQ(x.logger->device().memory.bytes(), y.logger->device().memory.bytes());
  }
  // Each logger is a logger of its own.
  const LoggerMemory& m0 = b.members()[0].logger->device().memory;
  const LoggerMemory& m1 = b.members()[1].logger->device().memory;
  EXPECT_EQ(m0.ReadText(m0.layout().IdPage(), m0.layout().IdPage()), "Logger 700");
  EXPECT_EQ(m1.ReadText(m1.layout().IdPage(), m1.layout().IdPage()), "Logger 701");
  EXPECT_NE(m0.bytes(), m1.bytes());
  EXPECT_NE(b.members()[0].firstCallMs, b.members()[1].firstCallMs);
  for (const auto& m : b.members()) EXPECT_LE(m.firstCallMs, 60000);
  // The seed in the truth file rebuilds the logger on its own.
  LoggerSetup alone = Small();
  const Json truth = Json::Parse(FleetTruthJson(b, 5));
  alone.seed = static_cast<std::uint64_t>(truth["loggers"][3]["seed"].AsNumber());
  alone.registers.serial = 703;
  alone.identityText = "Logger 703";
  EXPECT_EQ(Logger(alone).device().memory.bytes(), b.members()[3].logger->device().memory.bytes());
}

// Drives a dialled modem and the fleet on a clock of their own, as the simulator does.
struct Morning {
  explicit Morning(const FleetSettings& f) : fleet(f, Small()), modem(Settings(), 0) {}
  static ModemSettings Settings() {
    ModemSettings s;
    s.callAfterMs = 1000;
    s.idleHangupMs = 0;
    s.waitForSetup = false;
    s.dialled = true;
    return s;
  }
  // Ticks every 50 ms and at `to`, which is then the time.
  void Until(std::int64_t to) {
    while (now < to) {
      now = std::min(now + 50, to);
      Modem::Output out;
      modem.Tick(now, out);
      std::vector<std::string> notes;
      fleet.Tick(now, modem, out, notes);
      if (out.callStarted) {
        logger = &fleet.Connected(now, modem.callsMade());
        onLine = logger->device().regs.serial;
      }
    }
  }
  void HangUp() {
    Modem::Output out;
    modem.HangUp(now, out);
    logger->CallEnded();
    fleet.Ended(now);
    onLine = 0;
  }
  void Type() {
    Modem::Output out;
    modem.FromHost(reinterpret_cast<const std::uint8_t*>("AT\r"), 3, now, out);
  }
  Fleet fleet;
  Modem modem;
  std::int64_t now = 0;
  std::uint32_t onLine = 0;
  Logger* logger = nullptr;
};

TEST(Fleet, ABusyLineIsTriedAgainThenGivenUp) {
  FleetSettings f;
  f.loggers = 3;
  f.callsEach = 2;
  f.retries = 1;
  f.retryPauseMs = 5000;
  f.callEveryMs = 10000;
  Morning m(f);
  m.Until(999);
  EXPECT_EQ(m.fleet.startMs(), -1) << "no call before the modem could take one";
  // All three are due when the modem is first free: 700 gets the line, 701 and 702 find it
  // busy and try again at 6000.
  m.Until(1000);
  EXPECT_EQ(m.onLine, 700u);
  m.Until(4000);
  m.HangUp();  // 700's next call is due at 14000
  m.Until(5500);
  m.Type();    // the host talks to the modem: it is busy until 6500
  m.Until(6000);
  EXPECT_FALSE(m.modem.online()) << "both retries found the line busy; both gave up";
  // Second calls: 700 at 14000; 701 and 702 at 16000, while 700 is still on the line.
  m.Until(14000);
  EXPECT_EQ(m.onLine, 700u);
  m.Until(17000);
  m.HangUp();
  EXPECT_FALSE(m.fleet.Done());
  m.Until(21000);  // the retries: 701 first by serial, 702 finds it busy again
  EXPECT_EQ(m.onLine, 701u);
  m.Until(22000);
  m.HangUp();
  EXPECT_TRUE(m.fleet.Done());
  EXPECT_EQ(m.fleet.NextDeadline(m.modem), -1);

  const FleetTruth t = testsupport::ReadFleetTruth(Json::Parse(FleetTruthJson(m.fleet, 5)));
  EXPECT_EQ(t.startMs, 1000);
  EXPECT_EQ(t.AnsweredOrder(), (std::vector<std::uint32_t>{700, 700, 701}));
  struct Want { int attempted, answered, busy, retried, givenUp; };
  const Want want[] = {{2, 2, 0, 0, 0}, {2, 1, 3, 2, 1}, {2, 0, 4, 2, 2}};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& l = t.loggers[i];
    SCOPED_TRACE(l.serial);
    EXPECT_EQ(l.attempted, want[i].attempted);
    EXPECT_EQ(l.answered, want[i].answered);
    EXPECT_EQ(l.busy, want[i].busy);
    EXPECT_EQ(l.retried, want[i].retried);
    EXPECT_EQ(l.givenUp, want[i].givenUp);
    ASSERT_EQ(l.calls.size(), static_cast<std::size_t>(want[i].answered));
  }
  const auto& first = t.Find(700)->calls;
  EXPECT_EQ(first[0].call, 1);
  EXPECT_EQ(first[1].call, 2);
  EXPECT_EQ(first[1].connectedMs, 14000);
  EXPECT_EQ(first[1].endedMs, 17000);
  EXPECT_EQ(first[0].records.size(), 3u);
  EXPECT_EQ(first[0].records[0]["lastPage"].AsInt(),
            m.fleet.members()[0].logger->book().records().back().LastPage());
}

}  // namespace
}  // namespace varnel::sim
