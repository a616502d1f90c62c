#pragma once
#include <cstddef>
#include <cstdint>

namespace varnel {

// CRC-16 with the Modbus parameters (reflected polynomial 0xA001, initial value 0xFFFF,
// no final XOR). The logger sends it high byte first, unlike Modbus RTU.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t n, std::uint16_t crc = 0xFFFF);

// Appends the CRC of data[0..n-1] at data[n] (high byte) and data[n+1] (low byte).
void PutCrc16BE(std::uint8_t* data, std::size_t n);

// True when data[n], data[n+1] hold the CRC of data[0..n-1], high byte first.
bool CheckCrc16BE(const std::uint8_t* data, std::size_t n);

}  // namespace varnel
