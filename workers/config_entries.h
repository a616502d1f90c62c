#pragma once
#include <cstdint>

namespace varnel {

// The logger's configuration entries as the workers read and write them (five data bytes
// each).
inline constexpr std::uint8_t kEntryControl = 0;  // control commands: 2 before the writes, 5 restarts
inline constexpr std::uint8_t kControlPrepare = 2;
inline constexpr std::uint8_t kControlRestart = 5;
inline constexpr std::uint8_t kEntryState = 1;    // state and error bits, write pointer
inline constexpr std::uint8_t kEntryLayout = 2;   // first page, last page, reserved pages
inline constexpr std::uint8_t kEntryClock = 3;    // device clock
inline constexpr std::uint8_t kEntryCfg4 = 4;
inline constexpr std::uint8_t kEntryCfg5 = 5;     // 16-bit predecessor of entry 9
inline constexpr std::uint8_t kEntryCfg6 = 6;
inline constexpr std::uint8_t kEntryCfg7 = 7;
inline constexpr std::uint8_t kEntryCfg8 = 8;     // also the channel mask and battery
inline constexpr std::uint8_t kEntryBattery = kEntryCfg8;
inline constexpr std::uint8_t kEntryCfg9 = 9;

// The float parameters the workers copy (read with function 30, written with 31).
inline constexpr std::uint8_t kFloat96 = 96;
inline constexpr std::uint8_t kFloat97 = 97;
inline constexpr std::uint8_t kFloatFirst100 = 100;  // 100 ... 111 read, 100 ... 106 written
inline constexpr std::uint8_t kFloatFirst80 = 80;    // a pair 80+2k, 81+2k per channel bit

}  // namespace varnel
