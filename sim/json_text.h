#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnel::sim {

// Small helpers for the JSON the simulator writes (truth file, frame log).

// A quoted JSON string. Bytes above 0x7F are taken as Latin-1 characters, because logger
// texts are single bytes of the PC's code page, not UTF-8.
std::string JsonString(std::string_view bytes);
// A float that reads back as the same single precision value; non-finite values are null.
std::string JsonFloat(float value);
// Bytes as lower-case hex digits, two per byte.
std::string HexBytes(std::span<const std::uint8_t> bytes);

// Writes a whole file through a temporary name and a rename, so a reader never sees half of
// it. Returns "" or the reason it failed.
std::string WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace varnel::sim
