// The time limits of reads and writes and the comm-event waits, on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <string>

#include "link/link_state.h"
#include "link_fixture.h"

namespace varnel::testing {
namespace {

constexpr std::int16_t kT = 1000;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SerialPortTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }

  std::shared_ptr<SerialPort> port_ = AcquirePort();
  // Sends the pieces once the next byte (a trigger written by the test) arrives.
  void AnswerTrigger(Answer answer) {
    Peer().SetScript([answer](const Bytes&) { return answer; });
    const std::uint8_t trigger = 0;
    port_->Write(&trigger, 1, nullptr, kSingleWaitLimitMs);
  }
  void SetUp() override {
    SharedPortTest::SetUp();
    port_ = AcquirePort();
  }
};

TEST_F(SerialPortTest, GapOver400EndsADirectRead) {
  AnswerTrigger({{0, {1, 2, 3}}, {700, {4, 5, 6, 7, 8, 9, 10}}});
  std::uint8_t b[10] = {};
  Stopwatch sw;
  IoResult r = port_->Read(b, 10, nullptr, kSingleWaitLimitMs);
  EXPECT_EQ(r.count, 3u);
  EXPECT_GE(sw.Ms(), 390);
  EXPECT_LT(sw.Ms(), 560);

  AnswerTrigger({{0, {1, 2, 3}}, {330, {4, 5, 6, 7, 8, 9, 10}}});
  r = port_->Read(b, 10, nullptr, kSingleWaitLimitMs);
  EXPECT_EQ(r.count, 10u);
  EXPECT_EQ(b[9], 10);
}

TEST_F(SerialPortTest, ReplyTimeoutBoundsTheWholeRead) {
  Answer trickle;
  for (std::uint8_t i = 0; i < 10; ++i) trickle.push_back({300, {i}});
  AnswerTrigger(trickle);
  std::uint8_t b[10] = {};
  Stopwatch sw;
  const IoResult r = port_->Read(b, 10, nullptr, kSingleWaitLimitMs);
  EXPECT_TRUE(r.Completed());
  EXPECT_GE(r.count, 2u);
  EXPECT_LE(r.count, 4u);
  EXPECT_GE(sw.Ms(), kT - 10);
  EXPECT_LT(sw.Ms(), kT + 300);
}

TEST_F(SerialPortTest, SilentLineEndsReadsByTheActiveLimits) {
  std::uint8_t b[4];
  Stopwatch sw;
  IoResult r = port_->Read(b, 4, nullptr, kSingleWaitLimitMs);
  EXPECT_TRUE(r.Completed());
  EXPECT_EQ(r.count, 0u);
  EXPECT_GE(sw.Ms(), kT - 10);

  ASSERT_TRUE(port_->SetTimeouts(AfterFirstByteTimeouts()));
  Stopwatch later;
  r = port_->Read(b, 1, nullptr, kSingleWaitLimitMs);
  EXPECT_EQ(r.count, 0u);
  EXPECT_GE(later.Ms(), 490);
  EXPECT_LT(later.Ms(), 800);

  // The single-wait limit, when it is the shorter one, abandons the read.
  ASSERT_TRUE(port_->SetTimeouts(StandardTimeouts(kT)));
  Stopwatch limit;
  r = port_->Read(b, 4, nullptr, 200);
  EXPECT_TRUE(r.TimedOut());
  EXPECT_LT(limit.Ms(), 600);
}

TEST_F(SerialPortTest, FullLineEndsAWriteAfter200) {
  Peer().PauseReading(true);
  const Bytes big(1 << 20, 0x5A);
  Stopwatch sw;
  const IoResult r = port_->Write(big.data(), big.size(), nullptr, kSingleWaitLimitMs);
  Peer().PauseReading(false);
  EXPECT_TRUE(r.Completed());
  EXPECT_LT(r.count, big.size());
  EXPECT_GE(sw.Ms(), 195);
  EXPECT_LT(sw.Ms(), 700);
}

TEST_F(SerialPortTest, ReceiveEventComesWithTheFirstByte) {
  Stopwatch sw;
  IoResult r = port_->WaitEvent(kMaskReceive, nullptr, 300);
  EXPECT_TRUE(r.TimedOut());
  EXPECT_GE(sw.Ms(), 295);

  AnswerTrigger({{100, Text("OK\r\n")}});
  r = port_->WaitEvent(kMaskReceive, nullptr, 2000);
  ASSERT_TRUE(r.Completed());
  EXPECT_EQ(r.count, kEvRxChar);
  std::uint8_t b[4] = {};
  EXPECT_EQ(port_->Read(b, 4, nullptr, kSingleWaitLimitMs).count, 4u);
}

TEST_F(SerialPortTest, EventCharacterWaitKeepsWhatItReads) {
  // The hang-up text arrives in two parts; only the second holds a "t".
  AnswerTrigger({{0, Text("\r\nLINE ")}, {200, Text("disconnected\r\n")}});
  Stopwatch sw;
  const IoResult r = port_->WaitEvent(kMaskEventChar, nullptr, 3000);
  ASSERT_TRUE(r.Completed());
  EXPECT_EQ(r.count, kEvRxFlag);
  EXPECT_GE(sw.Ms(), 190);
  std::uint8_t b[64] = {};
  const IoResult text = port_->Read(b, sizeof b, nullptr, kSingleWaitLimitMs);
  EXPECT_EQ(std::string(b, b + text.count), "\r\nLINE disconnected\r\n");
}

TEST_F(SerialPortTest, BytesWithoutTheEventCharacterAreKeptOrPurged) {
  AnswerTrigger({{0, Text("NO CARRIER")}});
  EXPECT_TRUE(port_->WaitEvent(kMaskEventChar, nullptr, 300).TimedOut());
  // A receive wait sees the kept bytes at once.
  EXPECT_EQ(port_->WaitEvent(kMaskReceive, nullptr, 0).count, kEvRxChar);
  std::uint8_t b[4] = {};
  EXPECT_EQ(port_->Read(b, 2, nullptr, kSingleWaitLimitMs).count, 2u);
  EXPECT_EQ(b[0], 'N');
  ASSERT_TRUE(port_->Purge());
  ASSERT_TRUE(port_->SetTimeouts(AfterFirstByteTimeouts()));
  EXPECT_EQ(port_->Read(b, 4, nullptr, kSingleWaitLimitMs).count, 0u);
}

}  // namespace
}  // namespace varnel::testing
