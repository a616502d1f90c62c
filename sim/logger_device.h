#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "sim/logger_memory.h"

namespace varnel::sim {

// State bits of configuration entry 1 (d1) and error bits (d2).
inline constexpr std::uint8_t kStateRecordError = 0x80;
inline constexpr std::uint8_t kStateActive = 0x40;
inline constexpr std::uint8_t kStatePrepared = 0x20;
inline constexpr std::uint8_t kStateMemoryFull = 0x02;
inline constexpr std::uint8_t kStateConfigBit = 0x01;
inline constexpr std::uint8_t kErrorBattery = 0x04;
inline constexpr std::uint8_t kErrorAcknowledge = 0x08;

// Values of control entry 0.
inline constexpr std::uint8_t kControlPrepare = 2;
inline constexpr std::uint8_t kControlRestart = 5;

inline constexpr std::uint8_t kFirstFloat = 80;
inline constexpr std::uint8_t kLastFloat = 111;
inline constexpr std::uint8_t kOffsetSlots = 16;

// The logger's settings and live values, as the configuration entries, floats, offsets and
// channel readings expose them.
struct LoggerRegisters {
  std::array<std::uint8_t, 6> identity{0x05, 0x01, 3, 12, 16, 0};
  std::uint32_t serial = 40123;
  std::uint8_t state = 0;       // kState* bits except memory full, which the ring decides
  std::uint8_t errors = 0;      // kError* bits
  bool configBit = false;       // the bit entry 1 writes (d1 bit 0 when read)
  std::uint8_t control = 0;     // the last value written to entry 0
  // A logger whose registers went wrong (a fault): entry 2 reports more reserved pages
  // than the memory has, or entry 1 a write pointer past the end of the ring.
  enum class BrokenLayout : std::uint8_t { None, Reserved, Pointer };
  BrokenLayout brokenLayout = BrokenLayout::None;
  std::uint32_t cfg4 = 0;
  std::uint32_t cfg9 = 0;       // entry 9; entry 5 is its low 16 bits
  std::uint16_t cfg6a = 0, cfg6b = 0;
  std::uint8_t cfg6c = 0;
  std::uint16_t cfg7a = 0;
  std::uint8_t cfg7b = 0;
  std::uint16_t cfg8 = 0;
  std::uint16_t channelMask = 0x0007;
  std::uint8_t battery = 87;
  std::array<float, kLastFloat - kFirstFloat + 1> floats{};
  std::array<float, kOffsetSlots> offsets{};
  std::array<float, 15> channelLevel{};   // what BusReadValue reports, before noise
  std::uint64_t valueSeed = 0;
  std::uint64_t valueReads = 0;

  // The clock runs from clockAtRef, set at clockRefMs (milliseconds of the simulation).
  std::uint32_t clockAtRef = 0;
  std::int64_t clockRefMs = 0;
  std::uint32_t Clock(std::int64_t nowMs) const {
    const std::int64_t elapsed = nowMs > clockRefMs ? (nowMs - clockRefMs) / 1000 : 0;
    return clockAtRef + static_cast<std::uint32_t>(elapsed);
  }
  void SetClock(std::uint32_t value, std::int64_t nowMs) {
    clockAtRef = value;
    clockRefMs = nowMs;
  }
};

// Everything the logger was sent that changes it, in the order received.
struct ReceivedLog {
  struct ConfigWrite {
    std::uint8_t entry;
    std::array<std::uint8_t, 5> data;
  };
  struct FloatWrite {
    std::uint8_t index;
    float value;
  };
  struct PageWrite {
    std::uint16_t page;
    std::uint8_t offset;
    std::vector<std::uint8_t> data;
  };
  std::vector<ConfigWrite> config;
  std::vector<FloatWrite> floats;
  std::vector<FloatWrite> offsets;
  std::vector<PageWrite> pages;
  std::vector<std::uint32_t> clockSets;
  std::vector<std::uint8_t> controls;
};

struct LoggerDevice {
  explicit LoggerDevice(const MemoryLayout& layout) : memory(layout) {}
  std::uint8_t address = 250;
  LoggerRegisters regs;
  LoggerMemory memory;
  ReceivedLog received;
};

}  // namespace varnel::sim
