// Every result of one exchange, produced by a real exchange over a pseudo-terminal.
#include <gtest/gtest.h>

#include <thread>

#include "link/bus.h"
#include "link/link_state.h"
#include "link_fixture.h"
#include "tests/support/bus_result_check.h"

namespace varnel::testing {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace bus_frame_transfer_test {

constexpr std::int16_t kT = 150;
constexpr std::uint8_t kAddr = 250;

// A request of n content bytes in a buffer of n + L + 4.
Bytes Frame(std::initializer_list<std::uint8_t> content, int L) {
  Bytes b(content);
  b.resize(content.size() + static_cast<std::size_t>(L) + 4, 0);
  return b;
}

class FrameTransferTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }

  // Identity request (n = 2, L = 8) answered by the given bytes.
  std::int16_t IdentityAnsweredWith(const Bytes& reply, Bytes* buffer = nullptr) {
    Peer().SetScript([reply](const Bytes&) { return Now(reply); });
    Bytes b = Frame({kAddr, 0x30}, 8);
    const std::int16_t r = FrameTransfer(b.data(), 2, 8);
    if (buffer) *buffer = b;
    return r;
  }
  // Configuration write (n = 8, L = 3).
  std::int16_t WriteConfigAnsweredWith(const Bytes& reply) {
    Peer().SetScript([reply](const Bytes&) { return Now(reply); });
    Bytes b = Frame({kAddr, 0x5D, 1, 2, 3, 4, 5, 6}, 3);
    return FrameTransfer(b.data(), 8, 3);
  }
};

TEST_F(FrameTransferTest, GoodReplyIsAcceptedAndLandsAfterTheRequest) {
  Bytes buffer;
  EXPECT_BUS_RESULT(IdentityAnsweredWith(WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6}), &buffer),
                    kBusOk);
  ASSERT_EQ(Peer().RequestCount(), 1u);
  EXPECT_EQ(Peer().Requests()[0], (Bytes{0xFA, 0x30, 0x04, 0x43}));
  EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.begin() + 14), WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6}));
  // Neither address nor function of the reply is checked.
  EXPECT_BUS_RESULT(IdentityAnsweredWith(WithCrc({7, 0x11, 1, 2, 3, 4, 5, 6})), kBusOk);
}

TEST_F(FrameTransferTest, ErrorRepliesGiveTheirCodeOrBadReply) {
  for (std::uint8_t code : {1, 2, 3, 32}) {
    EXPECT_EQ(WriteConfigAnsweredWith(ErrorReply(kAddr, 0x5D, code)), code);
  }
  EXPECT_BUS_RESULT(WriteConfigAnsweredWith(ErrorReply(kAddr, 0x5D, 7)), kBusBadReply);
  // The same five bytes without the error mark are the normal reply of this command.
  EXPECT_BUS_RESULT(WriteConfigAnsweredWith(WithCrc({kAddr, 0x5D, 2})), kBusOk);
  // To a command with a long reply, an error reply falls short of the length bound first.
  EXPECT_BUS_RESULT(IdentityAnsweredWith(ErrorReply(kAddr, 0x30, 2)), kBusShortReply);
}

TEST_F(FrameTransferTest, DamagedOrShortRepliesAreRejected) {
  Bytes bad = WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6});
  bad.back() ^= 0x01;
  EXPECT_BUS_RESULT(IdentityAnsweredWith(bad), kBusBadReply);
  bad = WithCrc({kAddr, 0x30, 1, 2, 3, 4, 5, 6});
  bad[bad.size() - 2] ^= 0x80;
  EXPECT_BUS_RESULT(IdentityAnsweredWith(bad), kBusBadReply);
  EXPECT_BUS_RESULT(IdentityAnsweredWith({kAddr, 0x30, 1}), kBusShortReply);
  // Enough bytes for the length test, too few for any frame.
  EXPECT_BUS_RESULT(WriteConfigAnsweredWith({kAddr, 0x5D, 1}), kBusBadReply);
  // A complete frame with a good CRC that is shorter than the reply asked for must not pass
  // as success: the data it lacks would be read from the buffer.
  Peer().SetScript([](const Bytes&) { return Now(WithCrc({kAddr, 0x5C, 9, 9, 9})); });
  Bytes b = Frame({kAddr, 0x5C, 1}, 7);
  EXPECT_BUS_RESULT(FrameTransfer(b.data(), 3, 7), kBusShortReply);
}

TEST_F(FrameTransferTest, SilenceGivesShortOrNoReplyAfterTheTimeout) {
  // Without echo the length bound is L + 2 over a count that includes the request: a
  // silent device gives -6 when n < L and -4 when n >= L.
  Stopwatch sw;
  EXPECT_BUS_RESULT(IdentityAnsweredWith({}), kBusShortReply);
  EXPECT_GE(sw.Ms(), kT - 5);
  EXPECT_LT(sw.Ms(), kT + 400);
  EXPECT_BUS_RESULT(WriteConfigAnsweredWith({}), kBusNoReply);
}

TEST_F(FrameTransferTest, BroadcastGets100AfterTheTimeoutAndReadsNothing) {
  Peer().SetScript([](const Bytes&) { return Now({0x55, 0x66}); });
  Bytes b = Frame({0, 0x5D, 1, 2, 3, 4, 5, 6}, 3);
  Stopwatch sw;
  EXPECT_BUS_RESULT(FrameTransfer(b.data(), 8, 3), kBusNoReplyExpected);
  EXPECT_GE(sw.Ms(), kT - 5);
  ASSERT_TRUE(Peer().WaitForRequests(1, 1000));
  // What came back is still waiting in the port.
  std::uint8_t left[2] = {};
  const IoResult r = AcquirePort()->Read(left, 2, nullptr, kSingleWaitLimitMs);
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(left[0], 0x55);
}

TEST_F(FrameTransferTest, ClosedPortGivesPortErrorAfterTheTimeout) {
  PortClose();
  Bytes b = Frame({kAddr, 0x30}, 8);
  Stopwatch sw;
  EXPECT_BUS_RESULT(FrameTransfer(b.data(), 2, 8), kBusPortError);
  EXPECT_GE(sw.Ms(), kT - 5);
  EXPECT_EQ(Peer().RequestCount(), 0u);
}

TEST_F(FrameTransferTest, FailedReadGivesReadError) {
  std::thread closer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PortClose();
  });
  Bytes b = Frame({kAddr, 0x30}, 8);
  EXPECT_BUS_RESULT(FrameTransfer(b.data(), 2, 8), kBusReadError);
  closer.join();
}

TEST_F(FrameTransferTest, RequestTheLineCannotTakeGivesWriteError) {
  // A request far larger than the line buffers, to a peer that reads nothing: the write
  // stops at its 200 ms limit with part of the request sent.
  constexpr int n = 1 << 18;
  Bytes b(n + 3 + 4, 0x11);
  b[0] = kAddr;
  Peer().PauseReading(true);
  Stopwatch sw;
  const std::int16_t result = FrameTransfer(b.data(), n, 3);
  const long long ms = sw.Ms();
  Peer().PauseReading(false);
  EXPECT_BUS_RESULT(result, kBusWriteError);
  EXPECT_GE(ms, 200 + kT - 10);  // the write limit, then the pause
  EXPECT_LT(ms, 200 + kT + 400);
}

}  // namespace bus_frame_transfer_test
}  // namespace varnel::testing
