#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace varnel {

// Little-endian appends to a byte buffer: the byte order of the data and configuration
// files, whatever the byte order of the machine.
inline void AppendU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

inline void AppendU16LE(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void AppendU32LE(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void AppendF32LE(std::vector<std::uint8_t>& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  AppendU32LE(out, bits);
}

inline void AppendF64LE(std::vector<std::uint8_t>& out, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

inline std::uint32_t FloatBits(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

}  // namespace varnel
