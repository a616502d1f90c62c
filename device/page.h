#pragma once
#include <array>
#include <cstdint>

#include "device/ring.h"

namespace varnel {

// One 64-byte page read from the logger's memory, with the link and time of its header.
class TPage {
 public:
  // Copies exactly kPageSize bytes from data.
  TPage(std::int16_t pageNo, const std::uint8_t* data, std::int16_t link, std::uint32_t time);

  std::int16_t PageNo = 0;
  std::uint32_t Time = 0;
  std::int16_t Link = 0;
  std::array<std::uint8_t, kPageSize> Data{};
};

}  // namespace varnel
