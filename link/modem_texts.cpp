#include "link/modem_texts.h"

#include <algorithm>
#include <cctype>

namespace varnel {

bool BytesContainUpper(const std::uint8_t* bytes, std::size_t n, std::string_view upperNeedle) {
  if (upperNeedle.empty()) return true;
  const auto* end = bytes + n;
  return std::search(bytes, end, upperNeedle.begin(), upperNeedle.end(),
                     [](std::uint8_t b, char c) {
                       return std::toupper(b) == static_cast<unsigned char>(c);
                     }) != end;
}

}  // namespace varnel
