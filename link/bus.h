#pragma once
#include <cstdint>

namespace varnel {

// Result codes of a bus exchange and of every device command.
inline constexpr std::int16_t kBusOk = 0;
inline constexpr std::int16_t kBusPortError = -1;     // clearing the line error or purging failed
inline constexpr std::int16_t kBusWriteError = -2;    // the request was not written completely
inline constexpr std::int16_t kBusReadError = -3;     // reading the reply failed or timed out
inline constexpr std::int16_t kBusNoReply = -4;       // not one reply byte arrived
inline constexpr std::int16_t kBusBadReply = -5;      // too short, wrong CRC, unknown error reply
inline constexpr std::int16_t kBusShortReply = -6;    // fewer reply bytes than expected
inline constexpr std::int16_t kBusLineDropped = -7;   // the modem reported the end of the call
inline constexpr std::int16_t kBusCancelled = -1000;  // CancelFlag was set
inline constexpr std::int16_t kBusNoReplyExpected = 100;  // request to address 0, nothing read
// Device error replies carry one of these codes as the result.
inline constexpr std::int16_t kDeviceError1 = 1;
inline constexpr std::int16_t kDeviceError2 = 2;
inline constexpr std::int16_t kDeviceError3 = 3;
inline constexpr std::int16_t kDeviceError32 = 32;

// The code in words for developers' output ("no reply", "device error 2"; "unknown" for a
// code that is none of the above). Texts the operator sees do not use it.
const char* BusResultName(std::int16_t code);

// The broadcast address: a request to it gets no reply.
inline constexpr std::uint8_t kBroadcastAddress = 0;

// One exchange on the open port, no retry. buffer[0..n-1] holds the request (address,
// function, data); the CRC goes to buffer[n], buffer[n+1]; the reply of L content bytes and
// its CRC is read to buffer[n+2...] (with EchoMode the echo of the request is read back to
// buffer[0..n+1] first). buffer must hold at least n + L + 4 bytes. Returns a result code.
std::int16_t FrameTransfer(std::uint8_t* buffer, int n, int L);

// FrameTransfer with cancellation and, with RetryMode on, up to 11 attempts for the results
// -3, -4, -5 and -6. -1000 without any I/O when CancelFlag is set, and when it got set during
// the exchange. In ModemMode a reply that failed and holds the modem's end-of-call text ends
// the call for the frame layer: -7, not repeated, and -7 without I/O from then on (see
// LineDropped).
std::int16_t FrameCommand(std::uint8_t* buffer, int n, int L);

// In ModemMode only (otherwise 0 at once): sends the single byte 0xFF that wakes the logger
// behind the modem, then waits 700 ms. 0, -1 (line error or purge failed) or -2 (write).
std::int16_t SendWakeByte();

// Device commands. Each returns the result of FrameCommand and writes its outputs only when
// that result is 0. page is a page number of the logger memory (64-byte pages).
std::int16_t BusReadIdentity(std::uint8_t addr, std::uint8_t id[6]);
std::int16_t BusReadSerial(std::uint8_t addr, std::uint32_t& serial);
std::int16_t BusReadConfig(std::uint8_t addr, std::uint8_t index, std::uint8_t d[5]);
std::int16_t BusWriteConfig(std::uint8_t addr, std::uint8_t index, const std::uint8_t d[5]);
std::int16_t BusReadFloat(std::uint8_t addr, std::uint8_t index, float& value);
std::int16_t BusWriteFloat(std::uint8_t addr, std::uint8_t index, float value);
std::int16_t BusReadValue(std::uint8_t addr, std::uint8_t channel, float& value,
                          std::uint8_t& status);
std::int16_t BusWriteOffset(std::uint8_t addr, std::uint8_t index, float value);
// count bytes of a page from offset on (out holds count bytes).
std::int16_t BusReadPageBytes(std::uint8_t addr, std::uint16_t page, std::uint8_t offset,
                              std::uint8_t count, std::uint8_t* out);
// count = 0: the first 8 bytes of the page; count >= 1: count whole pages from page on
// (out holds 8 or 64 * count bytes).
std::int16_t BusReadPageBlock(std::uint8_t addr, std::uint16_t page, std::uint8_t count,
                              std::uint8_t* out);
// Writes count bytes into a page from offset on.
std::int16_t BusWritePageBytes(std::uint8_t addr, std::uint16_t page, std::uint8_t offset,
                               std::uint8_t count, const std::uint8_t* data);

}  // namespace varnel
