// Retries, cancellation and the echoing line, over a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "link/bus.h"
#include "link/link_state.h"
#include "link_fixture.h"
#include "tests/support/bus_result_check.h"

namespace varnel::testing {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace bus_frame_command_test {

constexpr std::int16_t kT = 150;
constexpr std::uint8_t kAddr = 250;
const Bytes kIdentityReply = WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6});

class FrameCommandTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }

  std::int16_t Identity() {
    Bytes b(2 + 8 + 4, 0);
    b[0] = kAddr;
    b[1] = 0x30;
    return FrameCommand(b.data(), 2, 8);
  }
};

TEST_F(FrameCommandTest, RetryableFailuresAreSentElevenTimesWithRetryOn) {
  Bytes badCrc = kIdentityReply;
  badCrc.back() ^= 0xFF;
  Peer().SetScript([badCrc](const Bytes&) { return Now(badCrc); });
  EXPECT_BUS_RESULT(Identity(), kBusBadReply);
  EXPECT_EQ(Peer().RequestCount(), 1u);

  SetRetryMode(true);
  Peer().ClearLog();
  EXPECT_BUS_RESULT(Identity(), kBusBadReply);
  EXPECT_EQ(Peer().RequestCount(), 11u);

  Peer().SetScript([](const Bytes&) { return Now(ErrorReply(kAddr, 0x5D, 7)); });
  Bytes b(8 + 3 + 4, 0);
  b[0] = kAddr;
  b[1] = 0x5D;
  Peer().ClearLog();
  EXPECT_BUS_RESULT(FrameCommand(b.data(), 8, 3), kBusBadReply);
  EXPECT_EQ(Peer().RequestCount(), 11u);
}

TEST_F(FrameCommandTest, DeviceErrorsAndPortErrorsEndTheAttempts) {
  SetRetryMode(true);
  for (std::uint8_t code : {1, 2, 3, 32}) {
    Peer().SetScript([code](const Bytes&) { return Now(ErrorReply(kAddr, 0x5D, code)); });
    Peer().ClearLog();
    Bytes b(8 + 3 + 4, 0);
    b[0] = kAddr;
    b[1] = 0x5D;
    EXPECT_BUS_RESULT(FrameCommand(b.data(), 8, 3), code);
    EXPECT_EQ(Peer().RequestCount(), 1u)
        << "code " << int(code) << " (" << BusResultName(code) << ")";
  }
  PortClose();
  Stopwatch sw;
  EXPECT_BUS_RESULT(Identity(), kBusPortError);
  EXPECT_LT(sw.Ms(), 2 * kT);  // one attempt, one pause
}

TEST_F(FrameCommandTest, DeviceThatAnswersLateIsReachedByRetries) {
  SetRetryMode(true);
  auto calls = std::make_shared<std::atomic<int>>(0);
  Peer().SetScript([calls](const Bytes&) {
    return ++*calls < 3 ? Answer{} : Now(kIdentityReply);
  });
  EXPECT_BUS_RESULT(Identity(), kBusOk);
  EXPECT_EQ(Peer().RequestCount(), 3u);
}

TEST_F(FrameCommandTest, CancelFlagStopsEveryCommandWithoutWriting) {
  Peer().SetScript([](const Bytes&) { return Now(kIdentityReply); });
  SetCancel();
  std::uint8_t id[6] = {};
  std::uint8_t d[5] = {};
  std::uint32_t serial = 0;
  float f = 0;
  std::uint8_t status = 0;
  std::uint8_t page[64] = {};
  EXPECT_BUS_RESULT(BusReadIdentity(kAddr, id), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadSerial(kAddr, serial), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadConfig(kAddr, 1, d), kBusCancelled);
  EXPECT_BUS_RESULT(BusWriteConfig(kAddr, 1, d), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadFloat(kAddr, 80, f), kBusCancelled);
  EXPECT_BUS_RESULT(BusWriteFloat(kAddr, 80, f), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadValue(kAddr, 1, f, status), kBusCancelled);
  EXPECT_BUS_RESULT(BusWriteOffset(kAddr, 1, f), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadPageBytes(kAddr, 3, 0, 6, page), kBusCancelled);
  EXPECT_BUS_RESULT(BusReadPageBlock(kAddr, 3, 1, page), kBusCancelled);
  EXPECT_BUS_RESULT(BusWritePageBytes(kAddr, 3, 0, 4, page), kBusCancelled);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(Peer().Received().empty());
}

TEST_F(FrameCommandTest, CancelDuringTheExchangeWinsOverItsResult) {
  SetRetryMode(true);
  Bytes badCrc = kIdentityReply;
  badCrc.back() ^= 0xFF;
  Peer().SetScript([badCrc](const Bytes&) {
    SetCancel();
    return Now(badCrc);
  });
  EXPECT_BUS_RESULT(Identity(), kBusCancelled);
  EXPECT_EQ(Peer().RequestCount(), 1u);
}

TEST_F(FrameCommandTest, EchoingLineIsReadBackBeforeTheReply) {
  SetEchoMode(true);
  Peer().SetScript([](const Bytes& request) {
    return Answer{{0, request}, {20, kIdentityReply}};
  });
  std::uint8_t id[6] = {};
  EXPECT_BUS_RESULT(BusReadIdentity(kAddr, id), kBusOk);
  EXPECT_EQ(id[5], 6);

  // The echo alone (no device on the line) is short of the reply.
  Peer().SetScript([](const Bytes& request) { return Now(request); });
  EXPECT_BUS_RESULT(Identity(), kBusShortReply);

  Peer().SetScript([](const Bytes& request) {
    Bytes all = request;
    const Bytes error = ErrorReply(kAddr, 0x5D, 3);
    all.insert(all.end(), error.begin(), error.end());
    return Now(all);
  });
  const std::uint8_t d[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(BusWriteConfig(kAddr, 4, d), kDeviceError3);
}

}  // namespace bus_frame_command_test
}  // namespace varnel::testing
