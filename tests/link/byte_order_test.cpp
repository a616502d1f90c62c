// Big-endian integers, the 24- and 32-bit floats of the logger, and device time.
#include <gtest/gtest.h>

#include "link/byte_order.h"

namespace varnel {
namespace {

TEST(ByteOrder, MostSignificantFirst) {
  const std::uint8_t b[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(GetU32BE(b), 0x12345678u);
  EXPECT_EQ(GetU24BE(b), 0x123456u);
  EXPECT_EQ(GetU16BE(b), 0x1234u);
  std::uint8_t out[4];
  PutU32BE(0xDEADBEEF, out);
  EXPECT_EQ(out[0], 0xDE);
  EXPECT_EQ(out[3], 0xEF);
}

TEST(ByteOrder, Floats) {
  const std::uint8_t one24[3] = {0x3F, 0x80, 0x00};
  EXPECT_EQ(GetF24BE(one24), 1.0f);
  // The low mantissa byte of a 24-bit float is zero, not taken from a fourth byte.
  const std::uint8_t neg[3] = {0xC1, 0x20, 0x01};
  std::uint8_t full[4] = {0xC1, 0x20, 0x01, 0x00};
  EXPECT_EQ(GetF24BE(neg), GetF32BE(full));
  std::uint8_t round[4];
  PutF32BE(-2.5f, round);
  EXPECT_EQ(GetF32BE(round), -2.5f);
}

TEST(ByteOrder, DeviceTime) {
  EXPECT_DOUBLE_EQ(DeviceTimeToDateTime(0), 36526.0);
  EXPECT_DOUBLE_EQ(DeviceTimeToDateTime(86400), 36527.0);  // 2000-01-02 00:00:00
  EXPECT_DOUBLE_EQ(DeviceTimeToDateTime(43200), 36526.5);
  EXPECT_EQ(DateTimeToDeviceTime(DeviceTimeToDateTime(123456789)), 123456789u);
  EXPECT_EQ(DateTimeToDeviceTime(1000.0), 0u);
  EXPECT_EQ(DateTimeToDeviceTime(1e9), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace varnel
