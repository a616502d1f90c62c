// The logger as the line sees it: framing checks, addresses, the per-call state of the
// faults, the seeded corruption, and the pages it records while it is active. (Each fault as
// a host meets it on the line is in faults_e2e_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>

#include "link/byte_order.h"
#include "link/crc16.h"
#include "sim/logger.h"

namespace varnel::sim {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace logger_test {

std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

LoggerSetup SmallSetup() {
  LoggerSetup s;
  s.address = 251;
  s.layout = {255, 4};
  s.fill = {.records = 3, .wrapped = false, .maxPagesPerRecord = 10};
  return s;
}

std::vector<std::uint8_t> Identity() { return Frame({251, 0x30}); }
std::vector<std::uint8_t> PageRead(std::uint16_t page) {
  return Frame({251, 0x44, static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page), 1});
}

TEST(LoggerLine, OnlyGoodFramesToItsAddressAreAnswered) {
  Logger logger(SmallSetup());
  ASSERT_EQ(logger.error(), "");
  EXPECT_EQ(logger.Handle(Identity(), 0).reply.size(), 10u);

  auto bad = Identity();
  bad[3] ^= 0x01;
  const auto badAnswer = logger.Handle(bad, 0);
  EXPECT_TRUE(badAnswer.reply.empty());
  EXPECT_FALSE(badAnswer.forUs);
  EXPECT_EQ(badAnswer.note, "bad CRC");

  const auto other = logger.Handle(Frame({250, 0x30}), 0);
  EXPECT_TRUE(other.reply.empty());
  EXPECT_EQ(other.note, "other address");

  // A request to address 0 is carried out but never answered.
  const auto all = logger.Handle(Frame({0, 0x5D, 3, 0, 0, 1, 0, 0}), 0);
  EXPECT_TRUE(all.reply.empty());
  EXPECT_TRUE(all.forUs);
  EXPECT_EQ(logger.device().received.clockSets, (std::vector<std::uint32_t>{256}));
}

TEST(LoggerLine, SettingsAndReadingsComeFromTheSeed) {
  LoggerSetup s = SmallSetup();
  s.seed = 5;
  Logger a(s), b(s);
  s.seed = 6;
  Logger c(s);
  EXPECT_EQ(a.device().regs.floats, b.device().regs.floats);
  EXPECT_NE(a.device().regs.floats, c.device().regs.floats);
  EXPECT_EQ(a.device().regs.cfg4, b.device().regs.cfg4);
  const auto& f = a.device().regs.floats;
  EXPECT_GT(std::count_if(f.begin(), f.end(), [](float v) { return v != 0.0f; }), 24)
      << "settings a host copies must not all be zero";
  // P1 reads a plausible pressure in bar, the same sequence in both runs.
  auto value = [](Logger& l) {
    const auto r = l.Handle(Frame({251, 0x49, 1}), 0).reply;
    return GetF32BE(r.data() + 2);
  };
  const float v = value(a);
  EXPECT_EQ(v, value(b));
  EXPECT_GT(v, 0.8f);
  EXPECT_LT(v, 2.5f);
}

TEST(LoggerFaults, FallsSilentAfterPageReadsUntilTheCallEnds) {
  LoggerSetup s = SmallSetup();
  s.faults.stopAfterPageReads = 3;
  Logger logger(s);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(logger.Handle(PageRead(i), 0).reply.empty());
  EXPECT_FALSE(logger.Handle(Identity(), 0).reply.empty()) << "silence begins with the next page read";
  EXPECT_TRUE(logger.Handle(PageRead(3), 0).reply.empty());
  EXPECT_TRUE(logger.Handle(Identity(), 0).reply.empty());
  logger.CallEnded();
  EXPECT_FALSE(logger.Handle(Identity(), 0).reply.empty());
  EXPECT_FALSE(logger.Handle(PageRead(0), 0).reply.empty());
}

TEST(LoggerFaults, CorruptsTheChosenShareOfRepliesTheSameWayForTheSameSeed) {
  auto run = [](std::uint64_t seed) {
    LoggerSetup s = SmallSetup();
    s.seed = seed;
    s.faults.corruptFraction = 0.25;
    Logger logger(s);
    std::vector<bool> broken;
    for (int i = 0; i < 400; ++i) {
      const auto a = logger.Handle(Identity(), 0);
      EXPECT_EQ(a.reply.size(), 10u);
      const bool bad = !CheckCrc16BE(a.reply.data(), 8);
      EXPECT_EQ(bad, a.note == "corrupted");
      broken.push_back(bad);
    }
    return broken;
  };
  const auto a = run(9), b = run(9), c = run(10);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  const auto count = std::count(a.begin(), a.end(), true);
  EXPECT_GT(count, 60);
  EXPECT_LT(count, 140);
}

TEST(LoggerRecording, WritesAPageEveryNRequestsWhileActive) {
  LoggerSetup s = SmallSetup();
  s.recordEvery = 4;
  s.registers.state = kStateActive;
  Logger logger(s);
  const std::uint16_t w0 = logger.device().memory.writePointer();
  const std::size_t records = logger.book().records().size();
  for (int i = 0; i < 3; ++i) logger.Handle(Identity(), 0);
  EXPECT_EQ(logger.device().memory.writePointer(), w0);
  logger.Handle(Identity(), 0);
  EXPECT_EQ(logger.device().memory.writePointer(), w0 + 1);
  EXPECT_EQ(logger.book().records().back().LastPage(), w0 + 1) << "the newest record grows";
  EXPECT_EQ(logger.book().records().size(), records);

  // Prepared: no pages. Restarted: the next page opens a new record at the logger's clock.
  logger.Handle(Frame({251, 0x5D, 0, 2, 0, 0, 0, 0}), 0);
  for (int i = 0; i < 8; ++i) logger.Handle(Identity(), 0);
  EXPECT_EQ(logger.device().memory.writePointer(), w0 + 1);
  const auto restart = logger.Handle(Frame({251, 0x5D, 0, 5, 0, 0, 0, 0}), 5000);
  EXPECT_TRUE(restart.restarted);
  for (int i = 0; i < 4; ++i) logger.Handle(Identity(), 5000);
  EXPECT_EQ(logger.book().records().size(), records + 1);
  const PageHeader h = GetPageHeader(logger.device().memory.Page(logger.device().memory.writePointer()));
  EXPECT_TRUE(h.start);
  EXPECT_EQ(h.time, logger.device().regs.Clock(5000));
  EXPECT_EQ(logger.pagesRecorded(), 2u);
}

}  // namespace logger_test
}  // namespace varnel::sim
