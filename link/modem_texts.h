#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel {

// What the PC's modem says about the call, compared without regard to case.
inline constexpr std::string_view kCallConnectedText = "CONNECTION OK";
// The end of a call: the modem's own report, and the hang-up result every Hayes-style
// modem gives, which some modems send instead.
inline constexpr std::array<std::string_view, 2> kCallEndedTexts = {"DISCONNECTED", "NO CARRIER"};

// True when the bytes, upper-cased, contain `upperNeedle` (given in upper case).
bool BytesContainUpper(const std::uint8_t* bytes, std::size_t n, std::string_view upperNeedle);

// True when the bytes contain one of the reports of the end of a call.
bool BytesContainCallEnded(const std::uint8_t* bytes, std::size_t n);

// True when the bytes end within the first letters of a report of the end of a call (the
// rest may still be on the line).
bool BytesEndInsideCallEnded(const std::uint8_t* bytes, std::size_t n);

// True when the text announces a call that is still on: a connection that no report of
// the end of a call follows. A connection followed by such a report was a call that is over.
bool LiveCallAnnounced(std::string_view text);

}  // namespace varnel
