// The CRC-16 of the bus frames, high byte first.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace varnel
