#include "files/byte_cursor.h"

#include <cstring>

#include "files/file_error.h"

namespace varnel {

const std::uint8_t* ByteCursor::Take(std::size_t n, const char* what) {
  if (n > Remaining()) {
    throw FileFormatError(Offset(), std::string("file ends inside ") + what + " (" +
                                        std::to_string(n) + " bytes needed, " +
                                        std::to_string(Remaining()) + " left)");
  }
  const std::uint8_t* p = data_.data() + pos_;
  pos_ += n;
  return p;
}

std::uint8_t ByteCursor::U8(const char* what) { return *Take(1, what); }

std::uint16_t ByteCursor::U16(const char* what) {
  const std::uint8_t* p = Take(2, what);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::int16_t ByteCursor::I16(const char* what) {
  return static_cast<std::int16_t>(U16(what));
}

std::uint32_t ByteCursor::U32(const char* what) {
  const std::uint8_t* p = Take(4, what);
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

std::int32_t ByteCursor::I32(const char* what) { return static_cast<std::int32_t>(U32(what)); }

float ByteCursor::F32(const char* what) {
  const std::uint32_t bits = U32(what);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

double ByteCursor::F64(const char* what) {
  const std::uint8_t* p = Take(8, what);
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

std::span<const std::uint8_t> ByteCursor::Bytes(std::size_t n, const char* what) {
  const std::uint8_t* p = Take(n, what);
  return {p, n};
}

std::string ByteCursor::Text(std::size_t n, const char* what) {
  const std::uint8_t* p = Take(n, what);
  return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace varnel
