#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/bus_functions.h"
#include "sim/logger_device.h"

namespace varnel::sim {

// Error codes of an error reply (function + 0x80).
inline constexpr std::uint8_t kErrIllegalFunction = 1;
inline constexpr std::uint8_t kErrIllegalAddress = 2;
inline constexpr std::uint8_t kErrIllegalValue = 3;

// The largest block the host can take in one reply.
inline constexpr std::uint8_t kMaxBlockPages = 156;

// Length of a request frame with its CRC, judged from its first bytes: > 0 when known,
// 0 when more bytes are needed to tell, -1 for a function the logger does not know.
int RequestFrameLength(const std::uint8_t* head, std::size_t have);

// A frame of address, function and data with the CRC appended, high byte first.
std::vector<std::uint8_t> MakeFrame(std::uint8_t address, std::uint8_t function,
                                    std::span<const std::uint8_t> data);
std::vector<std::uint8_t> MakeErrorReply(std::uint8_t address, std::uint8_t function,
                                         std::uint8_t code);

struct CommandOutcome {
  std::vector<std::uint8_t> reply;  // complete reply frame with CRC
  bool pageRead = false;            // function 67 or 68 was answered with page bytes
  bool prepared = false;            // control entry 0 := 2
  bool restarted = false;           // control entry 0 := 5
};

// Carries out one request on the logger. `content` is the request without its CRC (address,
// function, data); the caller has checked the CRC and the address. No I/O happens here.
CommandOutcome ExecuteCommand(LoggerDevice& device, std::span<const std::uint8_t> content,
                              std::int64_t nowMs);

// The five bytes of configuration entry `index` as a read returns them; false for an entry
// the logger does not have.
bool ReadConfigEntry(const LoggerDevice& device, std::uint8_t index, std::int64_t nowMs,
                     std::uint8_t out[5]);

// The reading of a channel at the n-th value request: its level plus a little noise.
float ChannelReading(const LoggerRegisters& regs, std::uint8_t channel, std::uint64_t n);

}  // namespace varnel::sim
