#include "link/crc16.h"

namespace varnel {

std::uint16_t Crc16(const std::uint8_t* data, std::size_t n, std::uint16_t crc) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                       : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

void PutCrc16BE(std::uint8_t* data, std::size_t n) {
  const std::uint16_t crc = Crc16(data, n);
  data[n] = static_cast<std::uint8_t>(crc >> 8);
  data[n + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

bool CheckCrc16BE(const std::uint8_t* data, std::size_t n) {
  const std::uint16_t crc = Crc16(data, n);
  return data[n] == static_cast<std::uint8_t>(crc >> 8) &&
         data[n + 1] == static_cast<std::uint8_t>(crc & 0xFF);
}

}  // namespace varnel
