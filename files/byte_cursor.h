#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace varnel {

// Bounds-checked little-endian reading from a byte span, for the file readers. Every read
// that would pass the end throws FileFormatError with the absolute file offset, so no
// input, however broken, is read out of bounds. `base` is the file offset of data[0].
class ByteCursor {
 public:
  ByteCursor(std::span<const std::uint8_t> data, std::uint64_t base = 0)
      : data_(data), base_(base) {}

  std::size_t Position() const { return pos_; }
  std::uint64_t Offset() const { return base_ + pos_; }  // absolute offset in the file
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }

  std::uint8_t U8(const char* what);
  std::uint16_t U16(const char* what);
  std::int16_t I16(const char* what);
  std::uint32_t U32(const char* what);
  std::int32_t I32(const char* what);
  float F32(const char* what);
  double F64(const char* what);
  // The next n bytes, as a view into the data.
  std::span<const std::uint8_t> Bytes(std::size_t n, const char* what);
  std::string Text(std::size_t n, const char* what);
  void Skip(std::size_t n, const char* what) { Bytes(n, what); }

 private:
  const std::uint8_t* Take(std::size_t n, const char* what);

  std::span<const std::uint8_t> data_;
  std::uint64_t base_;
  std::size_t pos_ = 0;
};

}  // namespace varnel
