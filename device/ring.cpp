#include "device/ring.h"

#include "link/byte_order.h"

namespace varnel {

PageHeader DecodeHeader(const std::uint8_t* bytes, std::uint16_t page) {
  PageHeader h;
  h.Page = page;
  h.Start = (bytes[0] & 0x80) != 0;
  h.Type = static_cast<std::uint8_t>((bytes[0] >> 5) & 0x03);
  h.Link = static_cast<std::uint16_t>(((bytes[0] & 0x1F) << 8) | bytes[1]);
  h.Time = GetU32BE(bytes + 2);
  return h;
}

}  // namespace varnel
