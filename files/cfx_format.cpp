#include "files/cfx_format.h"

#include <charconv>
#include <string>

namespace varnel {

double CfxVersionValue(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return 0.0;
  // Digits with at most one decimal point, nothing else: from_chars alone would also take
  // signs, exponents and "inf".
  std::string number(text);
  bool point = false;
  bool digit = false;
  for (char& c : number) {
    if (c == ',') c = '.';
    if (c == '.') {
      if (point) return 0.0;
      point = true;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return 0.0;
    }
  }
  if (!digit) return 0.0;
  double value = 0.0;
  const auto r = std::from_chars(number.data(), number.data() + number.size(), value);
  if (r.ec != std::errc() || r.ptr != number.data() + number.size()) return 0.0;
  return value;
}

int CfxMarkKind(std::string_view mark) {
  if (mark.size() != kCfxMarkSize) return -1;
  std::string upper(mark);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper == kCfxMarkWl) return kCfxKindWl;
  if (upper == kCfxMarkSt) return kCfxKindSt;
  return -1;
}

}  // namespace varnel
