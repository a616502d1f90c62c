// vtq-sim with a fleet behind its modem, as a process: the loggers take turns on the line,
// those that find it busy try again or give up, and the truth file says what each call held.
#include <gtest/gtest.h>

#include <array>

#include "tests/sim/support/ring_reader.h"
#include "tests/sim/support/sim_session.h"
#include "tests/support/fleet_truth.h"

namespace varnel::simtest {
namespace {

// What the host finds in one call.
struct Found {
  std::uint32_t serial = 0;
  std::string identityText;
  std::vector<ScannedRecord> records;
};

Found ReadCall(LineClient& line) {
  Found f;
  const auto r = line.Exchange({251, 0x45}, 8);
  if (r.size() == 8) f.serial = (std::uint32_t{r[2]} << 24) | (r[3] << 16) | (r[4] << 8) | r[5];
  // Page 200 is the identity page of a 208-page memory with 8 reserved pages.
  const auto id = line.Exchange({251, 0x44, 0, 200, 1}, 68);
  for (std::size_t i = 2; i + 2 < id.size() && id[i] != 0xFF; ++i) {
    f.identityText.push_back(static_cast<char>(id[i]));
  }
  const auto state = line.Exchange({251, 0x5C, 1}, 9);
  if (state.size() != 9) return f;
  const std::uint16_t w = static_cast<std::uint16_t>(state[5] * 256 + state[6]);
  f.records = ScanRing(199, w, [&line](std::uint16_t page) {
    const auto r = line.Exchange({251, 0x44, static_cast<std::uint8_t>(page >> 8),
                                  static_cast<std::uint8_t>(page), 0}, 12);
    std::array<std::uint8_t, 6> h{};
    if (r.size() == 12) std::copy_n(r.begin() + 2, 6, h.begin());
    return h;
  });
  return f;
}

TEST(FleetLine, LoggersTakeTurnsAndTheTruthNamesWhatEachCallHeld) {
  SimSession s;
  const std::string truthPath = s.File("truth.json");
  // All three are due when the modem is first free. 40123 gets the line; 40124 and 40125
  // find it busy and dial again 2 s later, when the first call is long over: 40124 gets
  // the line, and 40125, busy again with no retry left, gives up.
  ASSERT_TRUE(s.Start({"--modem", "--fleet", "3", "--retries", "1", "--retry-pause", "2",
                       "--call-after", "0.3", "--hangup-after", "0.2", "--ring", "1",
                       "--ring-pause", "0.2", "--linger", "0.2", "--last-page", "207",
                       "--records", "3", "--record-pages", "10", "--truth", truthPath}));
  LineClient& line = *s.line;
  line.WriteText("AT\r");
  std::vector<Found> found;
  for (int call = 1; call <= 2; ++call) {
    SCOPED_TRACE("call " + std::to_string(call));
    const std::string ring = line.ReadUntil("CONNECTION OK\r\n", 5000);
    ASSERT_NE(ring.find("\r\nRING\r\n\r\nCONNECTION OK\r\n"), std::string::npos) << ring;
    found.push_back(ReadCall(line));
    ASSERT_EQ(line.Exchange({251, 0x5D, 0, 5, 0, 0, 0, 0}, 5).size(), 5u);
    ASSERT_NE(line.ReadUntil("Disconnected\r\n", 3000).find("Disconnected"), std::string::npos);
  }
  ASSERT_EQ(s.sim.WaitExit(6000), 0) << "every logger is done: the simulator ends by itself";
  const std::string out = s.sim.Output();
  EXPECT_NE(out.find("call 1 connected, serial 40123"), std::string::npos) << out;
  EXPECT_NE(out.find("call 2 ended, serial 40124"), std::string::npos) << out;
  EXPECT_NE(out.find("serial 40125 finds the line busy and gives up"), std::string::npos) << out;

  const auto truth = testsupport::ReadFleetTruth(Json::Parse(ReadWholeFile(truthPath)));
  EXPECT_EQ(truth.AnsweredOrder(), (std::vector<std::uint32_t>{40123, 40124}));
  ASSERT_EQ(truth.loggers.size(), 3u);
  const auto& late = truth.loggers[2];
  EXPECT_EQ(late.attempted, 1);
  EXPECT_EQ(late.busy, 2);
  EXPECT_EQ(late.retried, 1);
  EXPECT_EQ(late.givenUp, 1);
  EXPECT_TRUE(late.calls.empty());
  EXPECT_EQ(truth.loggers[1].busy, 1);
  EXPECT_EQ(truth.loggers[1].retried, 1);
  EXPECT_EQ(truth.loggers[0].busy, 0);

  ASSERT_EQ(found.size(), 2u);
  EXPECT_NE(found[0].identityText, found[1].identityText);
  for (const Found& f : found) {
    SCOPED_TRACE(f.serial);
    ASSERT_EQ(f.records.size(), 3u);
    const testsupport::FleetLogger* l = truth.Find(f.serial);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(f.identityText, "Logger " + std::to_string(f.serial));
    EXPECT_EQ(l->identityText, f.identityText);
    EXPECT_EQ(l->answered, 1);
    ASSERT_EQ(l->calls.size(), 1u);
    const Json& records = l->calls[0].records;
    ASSERT_EQ(f.records.size(), records.size());
    for (std::size_t i = 0; i < f.records.size(); ++i) {
      EXPECT_EQ(f.records[i].firstPage, records[i]["firstPage"].AsInt());
      EXPECT_EQ(f.records[i].lastPage, records[i]["lastPage"].AsInt());
      EXPECT_EQ(f.records[i].startTime, records[i]["startTime"].AsInt());
    }
  }
  EXPECT_NE(found[0].records[0].lastPage, found[1].records[0].lastPage) << "memories of their own";
}

}  // namespace
}  // namespace varnel::simtest
