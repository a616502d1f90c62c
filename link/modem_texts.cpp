#include "link/modem_texts.h"

#include <algorithm>
#include <cctype>

namespace varnel {

namespace {

// Where `upperNeedle` last stands in the bytes (compared upper-cased), or n.
std::size_t LastUpper(const std::uint8_t* bytes, std::size_t n, std::string_view upperNeedle) {
  const auto* end = bytes + n;
  const auto* at = std::find_end(bytes, end, upperNeedle.begin(), upperNeedle.end(),
                                 [](std::uint8_t b, char c) {
                                   return std::toupper(b) == static_cast<unsigned char>(c);
                                 });
  return static_cast<std::size_t>(at - bytes);
}

}  // namespace

bool BytesContainUpper(const std::uint8_t* bytes, std::size_t n, std::string_view upperNeedle) {
  if (upperNeedle.empty()) return true;
  const auto* end = bytes + n;
  return std::search(bytes, end, upperNeedle.begin(), upperNeedle.end(),
                     [](std::uint8_t b, char c) {
                       return std::toupper(b) == static_cast<unsigned char>(c);
                     }) != end;
}

bool BytesContainCallEnded(const std::uint8_t* bytes, std::size_t n) {
  return std::any_of(kCallEndedTexts.begin(), kCallEndedTexts.end(),
                     [&](std::string_view t) { return BytesContainUpper(bytes, n, t); });
}

bool BytesEndInsideCallEnded(const std::uint8_t* bytes, std::size_t n) {
  for (std::string_view text : kCallEndedTexts) {
    for (std::size_t k = std::min(n, text.size() - 1); k >= 1; --k) {
      if (BytesContainUpper(bytes + n - k, k, text.substr(0, k))) return true;
    }
  }
  return false;
}

bool LiveCallAnnounced(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t connected = LastUpper(bytes, text.size(), kCallConnectedText);
  if (connected == text.size()) return false;
  const std::size_t after = connected + kCallConnectedText.size();
  return !BytesContainCallEnded(bytes + after, text.size() - after);
}

}  // namespace varnel
