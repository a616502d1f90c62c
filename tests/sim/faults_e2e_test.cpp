// The fault options of vtq-sim, as a host meets them on the line.
#include <gtest/gtest.h>

#include "tests/sim/support/sim_session.h"

namespace varnel::simtest {
namespace {

std::vector<std::uint8_t> PageBlock(std::uint8_t address, std::uint16_t page, std::uint8_t count) {
  return {address, 0x44, static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page), count};
}

TEST(LineFaults, IdentityAnsweredOnlyAfterTheIgnoredRequests) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--ignore-identity", "2"}));
  EXPECT_TRUE(s.line->Exchange({250, 0x30}, 10, 250).empty());
  EXPECT_TRUE(s.line->Exchange({250, 0x30}, 10, 250).empty());
  EXPECT_EQ(s.line->Exchange({250, 0x30}, 10).size(), 10u);
}

TEST(LineFaults, DeviceErrorCodeForTheChosenFunction) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--error-reply", "0x5C:3:1", "--error-reply", "69:32"}));
  EXPECT_EQ(s.line->Exchange({250, 0x5C, 1}, 9).size(), 9u) << "one normal answer first";
  const auto err = s.line->Exchange({250, 0x5C, 1}, 9);
  ASSERT_EQ(err.size(), 5u);
  EXPECT_EQ(err[1], 0xDC);
  EXPECT_EQ(err[2], 3);
  EXPECT_TRUE(CrcOk(err));
  EXPECT_EQ(s.line->Exchange({250, 0x45}, 8), WithCrc({250, 0xC5, 32}));
}

TEST(LineFaults, SilentAfterSomePageReads) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--stop-after-pages", "2", "--frames", s.File("frames.jsonl")}));
  EXPECT_EQ(s.line->Exchange(PageBlock(250, 0, 1), 68).size(), 68u);
  EXPECT_EQ(s.line->Exchange(PageBlock(250, 1, 0), 12).size(), 12u);
  EXPECT_TRUE(s.line->Exchange(PageBlock(250, 2, 1), 68, 300).empty());
  EXPECT_TRUE(s.line->Exchange({250, 0x30}, 10, 300).empty()) << "silent for everything now";
  const std::string log = ReadWholeFile(s.File("frames.jsonl"));
  EXPECT_NE(log.find("\"note\": \"silent\""), std::string::npos);
}

TEST(LineFaults, CorruptedRepliesFailTheirCheck) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--corrupt", "0.5", "--seed", "3", "--frames", s.File("frames.jsonl")}));
  int bad = 0;
  for (int i = 0; i < 40; ++i) {
    const auto r = s.line->Exchange({250, 0x30}, 10);
    ASSERT_EQ(r.size(), 10u) << "a corrupted reply keeps its length";
    bad += !CrcOk(r);
  }
  EXPECT_GT(bad, 5);
  EXPECT_LT(bad, 35);
  const std::string log = ReadWholeFile(s.File("frames.jsonl"));
  int noted = 0;
  for (std::size_t at = 0; (at = log.find("corrupted", at)) != std::string::npos; ++at) ++noted;
  EXPECT_EQ(noted, bad);
}

TEST(LineFaults, ModemDropsTheLineInTheMiddleOfATransfer) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--modem", "--no-setup-wait", "--call-after", "0.8", "--hangup-after-pages", "1", "--truth", s.File("t.json")}));
  LineClient& line = *s.line;
  ASSERT_NE(line.ReadUntil("CONNECTION OK\r\n", 2000).find("CONNECTION OK"), std::string::npos);
  EXPECT_EQ(line.Exchange(PageBlock(251, 0, 1), 68).size(), 68u);
  line.Write(WithCrc(PageBlock(251, 1, 10)));
  const auto got = line.Read(1 << 16, 2000, 300);
  const std::string text(got.begin(), got.end());
  const std::string report = "\r\nDisconnected\r\n";
  ASSERT_GT(text.size(), report.size());
  EXPECT_EQ(text.substr(text.size() - report.size()), report);
  EXPECT_EQ(got.size() - report.size(), 644u / 2) << "half the reply, then the line is gone";
  // The next call comes, and the logger answers normally in it.
  ASSERT_NE(line.ReadUntil("CONNECTION OK\r\n", 2000).find("CONNECTION OK"), std::string::npos);
  EXPECT_EQ(line.Exchange(PageBlock(251, 1, 10), 644).size(), 644u);
}

TEST(LineFaults, AnotherSerialNumberOnTheNextCall) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--modem", "--no-setup-wait", "--call-after", "0.1", "--hangup-after", "0.1", "--serial", "500", "--next-serial",
                       "777", "--truth", s.File("t.json")}));
  LineClient& line = *s.line;
  auto serial = [&] {
    const auto r = line.Exchange({251, 0x45}, 8);
    return r.size() == 8 ? (r[2] << 24) | (r[3] << 16) | (r[4] << 8) | r[5] : -1;
  };
  ASSERT_NE(line.ReadUntil("CONNECTION OK\r\n", 2000).find("CONNECTION OK"), std::string::npos);
  EXPECT_EQ(serial(), 500);
  EXPECT_EQ(serial(), 500) << "the same call keeps its serial number";
  ASSERT_EQ(line.Exchange({251, 0x5D, 0, 5, 0, 0, 0, 0}, 5).size(), 5u);
  ASSERT_NE(line.ReadUntil("CONNECTION OK\r\n", 3000).find("Disconnected"), std::string::npos);
  EXPECT_EQ(serial(), 777);
  // The truth file is rewritten when a call ends.
  const Json t = Json::Parse(ReadWholeFile(s.File("t.json")));
  EXPECT_EQ(t["calls"].AsInt(), 1);
  EXPECT_EQ(t["serialNumber"].AsInt(), 777);
  EXPECT_EQ(t["received"]["restarts"].AsInt(), 1);
}

}  // namespace
}  // namespace varnel::simtest
