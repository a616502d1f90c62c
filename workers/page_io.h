#pragma once
#include <cstdint>

namespace varnel {

// Reads of logger memory shared by the workers. Loggers at addresses of 250 and above
// serve page blocks; those below 250 only a few bytes per command. Each returns the bus
// result code of the first command that failed, or 0.

// From this address on a logger serves page blocks: headers and single pages are read
// with one block read each.
inline constexpr std::uint8_t kFirstPageBlockAddress = 250;
// From this address on the read/write worker reads a record's pages many to a block
// (BlockPages); below it one page per command.
inline constexpr std::uint8_t kFirstMultiPageBlockAddress = 251;

// The first 8 bytes of a page (the 6-byte header and two more) into out[0..7]. Below 250
// only the 6 header bytes are read; out[6], out[7] are then left as they were.
std::int16_t ReadPageHeaderBytes(std::uint8_t address, std::uint16_t page, std::uint8_t* out);

// One whole 64-byte page into out[0..63]: one block read from 250 on; below it ten reads of
// 6 bytes and one of 4, stopping at the first failure.
std::int16_t ReadWholePage(std::uint8_t address, std::uint16_t page, std::uint8_t* out);

}  // namespace varnel
