#include "link/byte_order.h"

#include <cmath>
#include <cstring>

namespace varnel {

std::uint32_t GetU32BE(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
         (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
}

void PutU32BE(std::uint32_t v, std::uint8_t* b) {
  b[0] = static_cast<std::uint8_t>(v >> 24);
  b[1] = static_cast<std::uint8_t>(v >> 16);
  b[2] = static_cast<std::uint8_t>(v >> 8);
  b[3] = static_cast<std::uint8_t>(v);
}

std::uint16_t GetU16BE(const std::uint8_t* b) {
  return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

void PutU16BE(std::uint16_t v, std::uint8_t* b) {
  b[0] = static_cast<std::uint8_t>(v >> 8);
  b[1] = static_cast<std::uint8_t>(v);
}

float GetF32BE(const std::uint8_t* b) {
  const std::uint32_t bits = GetU32BE(b);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void PutF32BE(float v, std::uint8_t* b) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU32BE(bits, b);
}

std::uint32_t GetU24BE(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | std::uint32_t{b[2]};
}

float GetF24BE(const std::uint8_t* b) {
  const std::uint32_t bits = GetU24BE(b) << 8;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

double DeviceTimeToDateTime(std::uint32_t seconds) {
  // Whole milliseconds, as the date-time arithmetic of the stored files expects.
  const double ms = static_cast<double>(seconds) * 1000.0;
  return kDeviceEpochDays + ms / 86400000.0;
}

std::uint32_t DateTimeToDeviceTime(double dateTime) {
  const double s = std::round((dateTime - kDeviceEpochDays) * 86400.0);
  if (!(s > 0)) return 0;
  if (s >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(s);
}

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace varnel
