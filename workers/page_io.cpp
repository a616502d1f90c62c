#include "workers/page_io.h"

#include "link/bus.h"

namespace varnel {

namespace {
constexpr std::uint8_t kHeaderBytes = 6;
constexpr std::uint8_t kByteChunk = 6;
constexpr int kByteChunks = 10;     // 10 x 6 bytes ...
constexpr std::uint8_t kTailBytes = 4;  // ... and 4 make a page
}  // namespace

std::int16_t ReadPageHeaderBytes(std::uint8_t address, std::uint16_t page, std::uint8_t* out) {
  if (address < kFirstPageBlockAddress) {
    return BusReadPageBytes(address, page, 0, kHeaderBytes, out);
  }
  return BusReadPageBlock(address, page, 0, out);
}

std::int16_t ReadWholePage(std::uint8_t address, std::uint16_t page, std::uint8_t* out) {
  if (address >= kFirstPageBlockAddress) return BusReadPageBlock(address, page, 1, out);
  for (int i = 0; i < kByteChunks; ++i) {
    const auto offset = static_cast<std::uint8_t>(i * kByteChunk);
    const std::int16_t r = BusReadPageBytes(address, page, offset, kByteChunk, out + offset);
    if (r != 0) return r;
  }
  const auto offset = static_cast<std::uint8_t>(kByteChunks * kByteChunk);
  return BusReadPageBytes(address, page, offset, kTailBytes, out + offset);
}

}  // namespace varnel
