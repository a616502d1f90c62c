#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "varnel_version.h"

namespace varnel {

// Layout constants of the .idc data file. A file is a sequence of blocks -- u16 id, the
// 32-bit content length as two u16 words (high word first), the content -- followed by a
// u16 check sum over every byte before it. Everything is little-endian.

// Block ids, and the order in which every file holds them.
inline constexpr std::uint16_t kIdcBlockWriterTag = 0;
inline constexpr std::uint16_t kIdcBlockIdentity = 1;
inline constexpr std::uint16_t kIdcBlockMeasurements = 2;
inline constexpr std::uint16_t kIdcBlockChannels = 3;
inline constexpr std::uint16_t kIdcBlockFloats = 4;
inline constexpr std::uint16_t kIdcBlockRecordValues = 5;
inline constexpr std::uint16_t kIdcBlockBattery = 8;
inline constexpr std::array<std::uint16_t, 7> kIdcBlockOrder = {
    kIdcBlockWriterTag, kIdcBlockIdentity, kIdcBlockChannels, kIdcBlockMeasurements,
    kIdcBlockFloats,    kIdcBlockRecordValues, kIdcBlockBattery};

inline constexpr std::size_t kIdcBlockHeaderSize = 6;
inline constexpr std::size_t kIdcChecksumSize = 2;
inline constexpr std::size_t kIdcMeasurementSize = 24;
inline constexpr std::size_t kIdcChannelEntrySize = 60;
inline constexpr std::size_t kIdcUnitFieldSize = 7;  // length byte and up to 6 characters
inline constexpr std::size_t kIdcRecordValuesSize = 29;
inline constexpr std::size_t kIdcRecordValuesWideSize = 31;  // entry 9 as u32 + u16
inline constexpr std::size_t kIdcBatterySize = 41;
inline constexpr std::size_t kIdcReservedWords = 10;

// Writer tag of block 0: the writer's name and the program's five-character version text.
inline constexpr std::string_view kIdcWriterName = "Reader_ST";
inline constexpr std::string_view kIdcVersionText = kFileVersionText;

// Channels are bits 0 ... 14 of the channel mask; bit 15 is never a channel.
inline constexpr std::uint16_t kIdcChannelBits = 0x7FFF;
inline constexpr unsigned kIdcChannelLimit = 15;
// Bits 0x02 ... 0x20 of the mask each bring a pair of floats 80+2k, 81+2k into block 4:
// the first pair's bit, shifted left by k for pair k.
inline constexpr unsigned kIdcFloatPairs = 5;
inline constexpr std::uint16_t kIdcFirstPairBit = 0x02;

// Floats100[0] with these bytes, most significant first ("H2O "), marks a water logger.
inline constexpr std::uint32_t kIdcWaterMark = 0x48324F20u;

// Kinds of a measurement entry: 0 ... 14 the value of that channel, then these two.
inline constexpr std::uint8_t kIdcKindEvent = 15;
inline constexpr std::uint8_t kIdcKindTimeMarker = 16;
inline constexpr std::uint8_t kIdcKindLast = kIdcKindTimeMarker;

// One measurement entry of block 2: local date-time (days since 1899-12-30), kind, value,
// extra value (0 for a channel value, the 24-bit argument for events and time markers).
struct IdcEntry {
  double DateTime = 0.0;
  std::uint8_t Kind = 0;
  float Value = 0.0f;
  std::uint32_t Extra = 0;

  friend bool operator==(const IdcEntry&, const IdcEntry&) = default;
};

// One 60-byte channel entry of block 3.
struct IdcChannel {
  std::uint8_t Number = 0;  // the bit number of the channel in the mask
  std::string Unit;         // at most 6 characters
  float Factor = 1.0f;
  float Offset = 0.0f;
  std::uint8_t Flag = 0;

  friend bool operator==(const IdcChannel&, const IdcChannel&) = default;
};

// The unit text of channel k: "bar" for 0 ... 2, the degree sign (code page byte 0xB0)
// and "C" for 3 ... 5, empty for the others.
std::string IdcChannelUnit(unsigned channel);
// The channel entry that the writer puts for channel k.
IdcChannel IdcChannelFor(unsigned channel);
// The number of channels in a mask: the set bits among bits 0 ... 14.
unsigned IdcChannelCount(std::uint16_t channelMask);
// True when the four bytes of the float are "H2O ".
bool IdcIsWaterMark(float floats100First);

// What a data file copies from the device image about the logger. The file worker fills it
// from `TDevice` (same field names) so that the file format does not depend on the image.
struct IdcLoggerInfo {
  std::array<std::uint8_t, 6> Identity{};  // d0 ... d5 of the identification reply
  std::uint32_t SerialNumber = 0;
  std::string IdentityText;
  std::string CommentText;  // the comment bytes as read from the logger
  std::uint16_t ChannelMask = 0;
  std::array<float, 12> Floats100{};
  std::array<float, 10> Floats80{};
  std::uint16_t Cfg8 = 0;
  std::uint16_t Cfg7A = 0;
  std::uint8_t Cfg7B = 0;
  float Float96 = 0.0f;
  float Float97 = 0.0f;
  bool WideCfg9 = false;
  std::uint32_t Cfg9 = 0;
  std::uint16_t Cfg6A = 0;
  std::uint16_t Cfg6B = 0;
  std::uint8_t Cfg6C = 0;
  bool Cfg1Bit = false;
  std::uint8_t BatteryCapacity = 0;
};

// The record that a file holds.
struct IdcRecordInfo {
  std::uint32_t StartTime = 0;  // device seconds of the record's first page
  std::uint32_t Time2 = 0;      // the record's second time field; nothing sets it
};

}  // namespace varnel
