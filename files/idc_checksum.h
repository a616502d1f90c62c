#pragma once
#include <cstddef>
#include <cstdint>

namespace varnel {

// The check sum of a data file: CRC-16 with the reflected polynomial 0xA001, initial value
// 0xFFFF and no final XOR -- the same function as the bus CRC (link/crc16.h), computed a
// byte at a time from a table because a file of a full logger memory runs to megabytes.
// Pass the previous result as `crc` to continue over the next piece of the file.
inline constexpr std::uint16_t kIdcChecksumInit = 0xFFFF;
std::uint16_t IdcChecksum(const std::uint8_t* data, std::size_t n,
                          std::uint16_t crc = kIdcChecksumInit);

}  // namespace varnel
