#include "files/idc_format.h"

#include <bit>

#include "files/le_append.h"

namespace varnel {

std::string IdcChannelUnit(unsigned channel) {
  if (channel <= 2) return "bar";
  if (channel <= 5) return std::string("\xB0" "C");
  return {};
}

IdcChannel IdcChannelFor(unsigned channel) {
  IdcChannel c;
  c.Number = static_cast<std::uint8_t>(channel);
  c.Unit = IdcChannelUnit(channel);
  return c;
}

unsigned IdcChannelCount(std::uint16_t channelMask) {
  return static_cast<unsigned>(std::popcount(static_cast<unsigned>(channelMask & kIdcChannelBits)));
}

bool IdcIsWaterMark(float floats100First) { return FloatBits(floats100First) == kIdcWaterMark; }

}  // namespace varnel
