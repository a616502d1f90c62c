#include "workers/page_decoder.h"

#include <algorithm>

#include "link/byte_order.h"

namespace varnel {

namespace {
constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFirstEntryByte = 8;  // bytes 6 and 7 of a page carry no entry
constexpr std::size_t kEntryBytes = 4;
constexpr std::uint8_t kLastChannel = 14;
constexpr std::uint8_t kTimeJump = 0xF0;
constexpr std::uint8_t kLastMarker = 0xF3;
constexpr std::uint8_t kNumberEvent = 0xF4;
constexpr std::uint8_t kPageEnd = 0xFF;
}  // namespace

std::vector<IdcEntry> DecodeRecordPages(std::span<const TPage> pages) {
  std::vector<IdcEntry> entries;
  float value = 0.0f;
  for (auto page = pages.rbegin(); page != pages.rend(); ++page) {
    const auto& data = page->Data;
    std::uint32_t t = page->Time;
    std::size_t p = kFirstEntryByte;
    while (p < kPageSize) {
      const std::uint8_t b = data[p++];
      if (p + 3 > kPageSize) break;  // the entry does not fit on the page
      const std::uint8_t* arg = data.data() + p;
      p += 3;
      const std::uint8_t h = b >> 4;
      if (h <= kLastChannel) {
        t += b & 0x0F;
        value = GetF24BE(arg);
        entries.push_back({DeviceTimeToDateTime(t), h, value, 0});
        continue;
      }
      if (b == kPageEnd) break;
      const std::uint32_t n = GetU24BE(arg);
      if (b <= kLastMarker) {
        if (b == kTimeJump) t += n;
        entries.push_back({DeviceTimeToDateTime(t), kIdcKindTimeMarker, value, n});
      } else {
        if (b == kNumberEvent) value = static_cast<float>(n);
        entries.push_back({DeviceTimeToDateTime(t), kIdcKindEvent, value, n});
      }
    }
  }
  return entries;
}

bool PageKeepsEntriesOf(const TPage& now, const TPage& earlier) {
  const auto& a = earlier.Data;
  const auto& b = now.Data;
  if (!std::equal(a.begin(), a.begin() + kHeaderBytes, b.begin())) return false;
  for (std::size_t p = kFirstEntryByte; p + kEntryBytes <= kPageSize; p += kEntryBytes) {
    if (a[p] == kPageEnd) break;
    if (!std::equal(a.begin() + static_cast<std::ptrdiff_t>(p),
                    a.begin() + static_cast<std::ptrdiff_t>(p + kEntryBytes),
                    b.begin() + static_cast<std::ptrdiff_t>(p))) {
      return false;
    }
  }
  return true;
}

}  // namespace varnel
