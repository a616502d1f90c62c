#include "device/page.h"

#include <algorithm>

namespace varnel {

TPage::TPage(std::int16_t pageNo, const std::uint8_t* data, std::int16_t link, std::uint32_t time)
    : PageNo(pageNo), Time(time), Link(link) {
  std::copy_n(data, kPageSize, Data.begin());
}

}  // namespace varnel
