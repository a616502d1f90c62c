#include "sim/page_format.h"

#include "link/byte_order.h"

namespace varnel::sim {

void PutPageHeader(const PageHeader& header, std::uint8_t* page) {
  page[0] = static_cast<std::uint8_t>((header.start ? 0x80 : 0x00) | ((header.type & 3) << 5) |
                                      ((header.link >> 8) & 0x1F));
  page[1] = static_cast<std::uint8_t>(header.link & 0xFF);
  PutU32BE(header.time, page + 2);
}

PageHeader GetPageHeader(const std::uint8_t* page) {
  PageHeader h;
  h.start = (page[0] & 0x80) != 0;
  h.type = static_cast<std::uint8_t>((page[0] >> 5) & 3);
  h.link = static_cast<std::uint16_t>(((page[0] & 0x1F) << 8) | page[1]);
  h.time = GetU32BE(page + 2);
  return h;
}

bool PageHeaderValid(const PageHeader& header, std::uint16_t pageNumber) {
  return header.type < 3 && (!header.start || header.link == pageNumber);
}

std::array<std::uint8_t, 3> FloatTo24(float value) {
  std::uint8_t full[4];
  PutF32BE(value, full);
  return {full[0], full[1], full[2]};
}

float Float24ToFloat(const std::array<std::uint8_t, 3>& bytes) { return GetF24BE(bytes.data()); }

}  // namespace varnel::sim
