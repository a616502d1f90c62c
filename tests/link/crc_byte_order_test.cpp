#include <gtest/gtest.h>

#include <cstring>

#include "link/byte_order.h"
#include "link/crc16.h"

namespace varnel {
namespace {

TEST(Crc16, CheckValueAndHighByteFirst) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x4B37);

  std::uint8_t frame[4] = {0xFA, 0x30};  // identity request to address 250
  PutCrc16BE(frame, 2);
  EXPECT_EQ(frame[2], 0x04);
  EXPECT_EQ(frame[3], 0x43);
  EXPECT_TRUE(CheckCrc16BE(frame, 2));
  frame[3] ^= 1;
  EXPECT_FALSE(CheckCrc16BE(frame, 2));
}

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
