// Reading through a modem: byte by byte, the first byte within the reply timeout, each later
// one within 500 ms; the wake byte. Compared with the direct line's 400 ms gap.
#include <gtest/gtest.h>

#include "link/bus.h"
#include "link/link_state.h"
#include "link_fixture.h"
#include "tests/support/bus_result_check.h"

namespace varnel::testing {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace bus_modem_test {

constexpr std::int16_t kT = 800;
constexpr std::uint8_t kAddr = 251;
const Bytes kIdentityReply = WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6});

// The reply with its first byte after firstMs and every later byte after gapMs.
Answer Trickle(const Bytes& reply, int firstMs, int gapMs) {
  Answer a;
  for (std::size_t i = 0; i < reply.size(); ++i) a.push_back({i == 0 ? firstMs : gapMs, {reply[i]}});
  return a;
}

// The first byte after firstMs, the second gapMs later, the rest at once.
Answer OneGap(const Bytes& reply, int firstMs, int gapMs) {
  return {{firstMs, {reply[0]}}, {gapMs, {reply[1]}}, {0, Bytes(reply.begin() + 2, reply.end())}};
}

class ModemLineTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }

  std::int16_t Identity(std::uint8_t id[6]) { return BusReadIdentity(kAddr, id); }
};

TEST_F(ModemLineTest, SlowFirstByteAndLaterGapsUnder500Pass) {
  SetModemMode(true);
  Peer().SetScript([](const Bytes&) { return OneGap(kIdentityReply, 600, 450); });
  std::uint8_t id[6] = {};
  EXPECT_BUS_RESULT(Identity(id), kBusOk);
  EXPECT_EQ(id[0], 1);
  // The later-bytes limit stays until the next modem exchange sets the standard one again.
  EXPECT_EQ(AcquirePort()->Timeouts().readTotalConstant, 500u);
  Peer().SetScript([](const Bytes&) { return Now(kIdentityReply); });
  EXPECT_BUS_RESULT(Identity(id), kBusOk);
  Peer().ClearLog();

  // The direct line ends the same reply at its first gap over 400 ms.
  SetModemMode(false);
  AcquirePort()->SetTimeouts(StandardTimeouts(kT));
  Peer().SetScript([](const Bytes&) { return OneGap(kIdentityReply, 600, 450); });
  EXPECT_BUS_RESULT(Identity(id), kBusShortReply);
}

TEST_F(ModemLineTest, FirstByteLaterThanTheTimeoutIsAReadError) {
  SetModemMode(true);
  Peer().SetScript([](const Bytes&) { return Trickle(kIdentityReply, kT + 400, 10); });
  std::uint8_t id[6] = {9};
  Stopwatch sw;
  EXPECT_BUS_RESULT(Identity(id), kBusReadError);
  // No pause after a failed modem read.
  EXPECT_GE(sw.Ms(), kT - 5);
  EXPECT_LT(sw.Ms(), kT + 350);
  EXPECT_EQ(id[0], 9);
}

TEST_F(ModemLineTest, LaterGapOver500IsAReadError) {
  SetModemMode(true);
  Peer().SetScript([](const Bytes&) { return Trickle(kIdentityReply, 100, 700); });
  std::uint8_t id[6] = {};
  Stopwatch sw;
  EXPECT_BUS_RESULT(Identity(id), kBusReadError);
  EXPECT_GE(sw.Ms(), 100 + 500 - 20);
  EXPECT_LT(sw.Ms(), 100 + 700);
}

TEST_F(ModemLineTest, EchoAndReplyAreReadByteByByte) {
  SetModemMode(true);
  SetEchoMode(true);
  Peer().SetScript([](const Bytes& request) {
    Answer a = Trickle(request, 50, 100);
    for (const Piece& p : OneGap(kIdentityReply, 300, 450)) a.push_back(p);
    return a;
  });
  std::uint8_t id[6] = {};
  EXPECT_BUS_RESULT(Identity(id), kBusOk);
  EXPECT_EQ(id[5], 6);
}

TEST_F(ModemLineTest, WakeByteOnlyInModemMode) {
  Stopwatch direct;
  EXPECT_BUS_RESULT(SendWakeByte(), kBusOk);
  EXPECT_LT(direct.Ms(), 100);

  SetModemMode(true);
  Stopwatch sw;
  EXPECT_BUS_RESULT(SendWakeByte(), kBusOk);
  EXPECT_GE(sw.Ms(), 700);
  ASSERT_TRUE(Peer().WaitForRequests(1, 1000));
  EXPECT_EQ(Peer().Received(), Bytes{0xFF});
  const CommTimeouts t = AcquirePort()->Timeouts();
  EXPECT_EQ(t.readInterval, 400u);
  EXPECT_EQ(t.readTotalConstant, static_cast<std::uint32_t>(kT));
}

}  // namespace bus_modem_test
}  // namespace varnel::testing
