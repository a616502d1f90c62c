#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace varnel::simtest {

// A reader of logger memory written from the collector's point of view, independent of the
// simulator's generator: the backwards walk of the record ring from the write pointer and
// the decoding of page entries.

struct ScannedRecord {
  std::uint16_t firstPage = 0;
  std::uint16_t lastPage = 0;
  std::uint32_t startTime = 0;
};

using HeaderReader = std::function<std::array<std::uint8_t, 6>(std::uint16_t page)>;

// Records found walking back from write pointer w, newest first.
std::vector<ScannedRecord> ScanRing(std::uint16_t lastRingPage, std::uint16_t w, const HeaderReader& header);

std::uint16_t RingIndex(std::uint16_t p, std::uint16_t w, std::uint16_t n);
std::uint16_t RingPage(std::uint16_t x, std::uint16_t w, std::uint16_t n);

struct Entry {
  std::uint32_t time = 0;
  int kind = 0;
  std::optional<float> value;
  std::uint32_t extra = 0;
  bool operator==(const Entry&) const = default;
};

// Decodes pages given oldest first, carrying the value across pages.
std::vector<Entry> DecodePages(const std::vector<std::array<std::uint8_t, 64>>& pages);

}  // namespace varnel::simtest
