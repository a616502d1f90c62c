// The device commands: request bytes on the wire, reply decoding, outputs left alone on
// failure. The far end is a small scripted logger.
#include <gtest/gtest.h>

#include <cstring>

#include "link/bus.h"
#include "link/byte_order.h"
#include "link/link_state.h"
#include "link_fixture.h"
#include "tests/support/bus_result_check.h"

namespace varnel::testing {
namespace {

constexpr std::int16_t kT = 150;
constexpr std::uint8_t kAddr = 17;

// Answers every request with data bytes 0x10, 0x11, ... of the length given for its
// function code, after checking the request's own CRC.
Answer FakeLogger(const Bytes& request) {
  if (request.size() < 4) return {};
  if (WithCrc(Bytes(request.begin(), request.end() - 2)) != request) return {};
  const std::uint8_t fn = request[1];
  std::size_t data = 1;  // the writes answer one byte
  switch (fn) {
    case 0x30: data = 6; break;
    case 0x45: data = 4; break;
    case 0x5C: data = 5; break;
    case 0x1E: data = 4; break;
    case 0x49: data = 5; break;
    case 0x43: data = request[5]; break;
    case 0x44: data = request[4] == 0 ? 8 : 64u * request[4]; break;
  }
  Bytes reply{request[0], fn};
  for (std::size_t i = 0; i < data; ++i) reply.push_back(static_cast<std::uint8_t>(0x10 + i));
  return Now(WithCrc(reply));
}

class DeviceCommandsTest : public SharedPortTest {
protected:
  static void SetUpTestSuite() { OpenShared(kT); }
  static void TearDownTestSuite() { CloseShared(); }
  void SetUp() override {
    SharedPortTest::SetUp();
    Peer().SetScript(FakeLogger);
  }
  // The content bytes of the last request (without its CRC, which the fake checked).
  Bytes LastRequest() {
    const Bytes r = Peer().Requests().back();
    return Bytes(r.begin(), r.end() - 2);
  }
};

TEST_F(DeviceCommandsTest, ReadsDecodeTheirReplies) {
  std::uint8_t id[6] = {};
  ASSERT_BUS_RESULT(BusReadIdentity(kAddr, id), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x30}));
  EXPECT_EQ(id[0], 0x10);
  EXPECT_EQ(id[5], 0x15);

  std::uint32_t serial = 0;
  ASSERT_BUS_RESULT(BusReadSerial(kAddr, serial), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x45}));
  EXPECT_EQ(serial, 0x10111213u);

  std::uint8_t d[5] = {};
  ASSERT_BUS_RESULT(BusReadConfig(kAddr, 8, d), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x5C, 8}));
  EXPECT_EQ(d[4], 0x14);

  float f = 0;
  ASSERT_BUS_RESULT(BusReadFloat(kAddr, 80, f), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x1E, 80}));
  const std::uint8_t fb[4] = {0x10, 0x11, 0x12, 0x13};
  EXPECT_EQ(f, GetF32BE(fb));

  std::uint8_t status = 0;
  ASSERT_BUS_RESULT(BusReadValue(kAddr, 2, f, status), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x49, 2}));
  EXPECT_EQ(f, GetF32BE(fb));
  EXPECT_EQ(status, 0x14);
}

TEST_F(DeviceCommandsTest, PageReadsAskForPageOffsetAndCount) {
  std::uint8_t bytes[6] = {};
  ASSERT_BUS_RESULT(BusReadPageBytes(kAddr, 0x1234, 54, 6, bytes), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x43, 0x12, 0x34, 54, 6}));
  EXPECT_EQ(bytes[5], 0x15);

  std::uint8_t header[8] = {};
  ASSERT_BUS_RESULT(BusReadPageBlock(kAddr, 0x0102, 0, header), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x44, 0x01, 0x02, 0}));
  EXPECT_EQ(header[7], 0x17);

  // Beyond the 156 pages a fixed 10000-byte buffer would hold.
  std::vector<std::uint8_t> pages(64 * 200, 0);
  ASSERT_BUS_RESULT(BusReadPageBlock(kAddr, 7, 200, pages.data()), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x44, 0, 7, 200}));
  EXPECT_EQ(pages[0], 0x10);
  EXPECT_EQ(pages[64 * 200 - 1], static_cast<std::uint8_t>(0x10 + 64 * 200 - 1));
}

TEST_F(DeviceCommandsTest, WritesCarryTheirData) {
  const std::uint8_t d[5] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4};
  ASSERT_BUS_RESULT(BusWriteConfig(kAddr, 9, d), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x5D, 9, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4}));

  ASSERT_BUS_RESULT(BusWriteFloat(kAddr, 81, 2.25f), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x1F, 81, 0x40, 0x10, 0x00, 0x00}));

  ASSERT_BUS_RESULT(BusWriteOffset(kAddr, 1, -1.0f), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x5F, 1, 0xBF, 0x80, 0x00, 0x00}));

  const std::uint8_t text[4] = {'A', 'B', 'C', 'D'};
  ASSERT_BUS_RESULT(BusWritePageBytes(kAddr, 0x0203, 60, 4, text), kBusOk);
  EXPECT_EQ(LastRequest(), (Bytes{kAddr, 0x24, 0x02, 0x03, 60, 4, 'A', 'B', 'C', 'D'}));
}

TEST_F(DeviceCommandsTest, OutputsStayUntouchedOnFailure) {
  Peer().SetScript([](const Bytes& request) { return Now(ErrorReply(kAddr, request[1], 2)); });
  std::uint8_t d[5] = {1, 1, 1, 1, 1};
  EXPECT_EQ(BusReadConfig(kAddr, 1, d), kDeviceError2);
  EXPECT_EQ(d[0], 1);
  std::uint32_t serial = 77;
  EXPECT_EQ(BusReadSerial(kAddr, serial), kDeviceError2);
  EXPECT_EQ(serial, 77u);
  float f = 3.5f;
  std::uint8_t status = 4;
  EXPECT_EQ(BusReadValue(kAddr, 1, f, status), kDeviceError2);
  EXPECT_EQ(f, 3.5f);
  EXPECT_EQ(status, 4);
  std::uint8_t id[6] = {5, 5, 5, 5, 5, 5};
  EXPECT_BUS_RESULT(BusReadIdentity(kAddr, id), kBusShortReply);
  EXPECT_EQ(id[0], 5);
}

}  // namespace
}  // namespace varnel::testing
