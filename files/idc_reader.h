#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "files/idc_format.h"

namespace varnel {

// Where a block stands in the file: the offset of its 6-byte header and its content length.
struct IdcBlockInfo {
  std::uint16_t Id = 0;
  std::uint64_t Offset = 0;
  std::uint32_t Length = 0;
};

// A pair of floats of block 4: Floats80[Index] and Floats80[Index + 1] (Index = 2k for the
// mask bit 0x02 << k).
struct IdcFloatPair {
  std::uint8_t Index = 0;
  float First = 0.0f;
  float Second = 0.0f;
};

// Everything a data file holds, decoded.
struct IdcFile {
  std::vector<IdcBlockInfo> Blocks;  // in file order, unknown ids included
  std::uint64_t Size = 0;
  std::uint16_t Checksum = 0;

  // Block 0
  std::string WriterTag;
  // Block 1
  std::uint32_t Identity = 0;  // d0 * 2^24 + d1 * 2^16 + d2 * 2^8 + d3
  std::uint32_t SerialNumber = 0;
  std::uint8_t WaterFlag = 0;
  std::string IdentityText;
  std::string CommentText;
  // Block 3
  std::uint16_t ChannelMask = 0;
  std::vector<IdcChannel> Channels;
  // Block 2
  std::vector<IdcEntry> Measurements;
  // Block 4
  std::array<float, 12> Floats100{};
  std::uint16_t FloatsChannelMask = 0;
  std::vector<IdcFloatPair> Floats80;
  // Block 5
  std::uint32_t StartTime = 0;
  std::uint32_t Time2 = 0;
  std::uint16_t Cfg8 = 0;
  std::uint16_t Cfg7A = 0;
  float Float96 = 0.0f;
  float Float97 = 0.0f;
  bool WideCfg9 = false;  // the block has the 31-byte form
  std::uint32_t Cfg9 = 0;  // only the low 16 bits are stored without WideCfg9
  std::uint16_t Cfg6A = 0;
  std::uint8_t Cfg7B = 0;
  std::uint8_t Cfg6C = 0;
  std::uint16_t Cfg6B = 0;
  std::uint8_t Cfg1Bit = 0;
  // Block 8
  std::uint8_t BatteryCapacity = 0;
  std::array<std::uint32_t, kIdcReservedWords> Reserved{};
};

// Decodes a data file held in memory. Throws FileFormatError, with the offset, when the
// bytes are not a complete, consistent file with a correct check sum: truncated, unfinished
// (no check sum), a block running past the end, a missing or repeated block, a block whose
// length contradicts its fields, a wrong check sum. Blocks with ids it does not know are
// listed in Blocks and otherwise skipped. Never reads outside `bytes`.
IdcFile ParseIdc(std::span<const std::uint8_t> bytes);

// Files larger than this are refused without being read: a logger's whole memory gives a
// few megabytes.
inline constexpr std::uint64_t kIdcMaxFileSize = 256ull << 20;

// Reads and decodes a data file. Throws FileError when it cannot be read, FileFormatError
// when it is not a valid file.
IdcFile ReadIdcFile(const std::filesystem::path& name);

}  // namespace varnel
