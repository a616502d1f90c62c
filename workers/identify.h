#pragma once
#include <array>
#include <cstdint>

namespace varnel {

// A logger that has just woken may miss the first requests: it is asked this many times.
inline constexpr int kIdentifyAttempts = 6;

// Identifies the logger at `address` the way both workers begin their talk with it: with
// the frame layer's repeats off, up to kIdentifyAttempts identity requests, the first
// answer ending them. On success `identity` holds the six identity bytes, repeats are
// switched on for the rest of the job, and the result is true.
bool IdentifyLogger(std::uint8_t address, std::array<std::uint8_t, 6>& identity);

}  // namespace varnel
