#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel {

// What the PC's modem says about the call, compared without regard to case.
inline constexpr std::string_view kCallConnectedText = "CONNECTION OK";
inline constexpr std::string_view kCallEndedText = "DISCONNECTED";

// True when the bytes, upper-cased, contain `upperNeedle` (given in upper case).
bool BytesContainUpper(const std::uint8_t* bytes, std::size_t n, std::string_view upperNeedle);

}  // namespace varnel
