#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/serial_port.h"

namespace varnel {

// The raw line operations of the modem dialogue, on the link's open port with the link's
// current stop event. With no port open (a stop closed it) they behave as on a closed
// port: reads and writes fail, an event wait completes with an empty mask.

// A modem's answer is taken with one read of at most this many bytes.
inline constexpr std::size_t kModemAnswerBytes = 1000;

// Writes the text; waitLimitMs bounds the wait for the write to end.
IoResult ModemWrite(std::string_view text, int waitLimitMs);

// Waits for one of the comm events of `mask`; waitLimitMs < 0 waits without limit.
IoResult ModemWaitEvent(std::uint32_t mask, int waitLimitMs);

// Reads up to maxBytes under the port's time limits and returns their text (PrintableText).
std::string ModemReadText(std::size_t maxBytes);

// Clears a pending line error and empties both driver buffers.
void ModemClearAndPurge();
void ModemClearLineError();

// The printable characters (0x20 ... 0x7E) of a byte sequence, in order, its lines apart: a
// run of CR and LF between two lines becomes one "\n" (none before the first or after the
// last), so that the echo "AT" and the answer "OK" stay two lines.
std::string PrintableText(const std::uint8_t* bytes, std::size_t n);

std::string UpperCase(std::string_view text);

// True when `text`, upper-cased, contains `upperNeedle` (given in upper case).
bool ContainsUpper(std::string_view text, std::string_view upperNeedle);

}  // namespace varnel
