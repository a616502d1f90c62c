#pragma once
#include <cstdint>

namespace varnel {

// Multi-byte values on the wire and in logger memory are most significant byte first.
std::uint32_t GetU32BE(const std::uint8_t* b);
void PutU32BE(std::uint32_t v, std::uint8_t* b);
std::uint16_t GetU16BE(const std::uint8_t* b);
void PutU16BE(std::uint16_t v, std::uint8_t* b);
float GetF32BE(const std::uint8_t* b);
void PutF32BE(float v, std::uint8_t* b);
std::uint32_t GetU24BE(const std::uint8_t* b);
// The single whose three high bytes are b0..b2 and whose low byte is 0.
float GetF24BE(const std::uint8_t* b);

// A date-time counts days since 1899-12-30 00:00:00 (local time); the fraction is the
// time of day. Device time counts seconds since 2000-01-01 00:00:00.
inline constexpr double kDeviceEpochDays = 36526.0;  // 2000-01-01 as a date-time
double DeviceTimeToDateTime(std::uint32_t seconds);
// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d);
// The device time of a date-time, rounded to the nearest second; 0 before the epoch and
// the largest value past the range of the device clock.
std::uint32_t DateTimeToDeviceTime(double dateTime);

}  // namespace varnel
