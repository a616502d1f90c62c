#include "sim/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <unistd.h>

namespace varnel::sim {

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  char buf[8];
  for (unsigned char c : bytes) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string JsonFloat(float value) {
  if (!std::isfinite(value)) return "null";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
  return buf;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

std::string WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string tmp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) return "cannot create " + tmp + ": " + std::strerror(errno);
    f.write(content.data(), static_cast<std::streamsize>(content.size()));
    f.flush();
    if (!f) {
      std::remove(tmp.c_str());
      return "cannot write " + tmp + " (disk full?)";
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    std::remove(tmp.c_str());
    return "cannot replace " + path + ": " + why;
  }
  return "";
}

}  // namespace varnel::sim
