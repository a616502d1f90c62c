#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// A growable byte buffer with a read/write position, for texts that are built and
// consumed a byte at a time (the logger's comment, a comment to be written).
class TMemoryStream {
 public:
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return pos_; }
  // Positions past the end are clamped to the end.
  void Seek(std::size_t pos);
  // Empties the buffer and goes back to position 0.
  void Clear();

  // Writes at the position (overwriting, then growing) and advances past what was written.
  void Write(const void* data, std::size_t n);
  void WriteByte(std::uint8_t b) { Write(&b, 1); }
  void WriteText(std::string_view text) { Write(text.data(), text.size()); }

  // Reads up to n bytes from the position; returns how many were read.
  std::size_t Read(void* data, std::size_t n);
  // The next byte, or false at the end.
  bool ReadByte(std::uint8_t& b) { return Read(&b, 1) == 1; }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // The whole contents, one char per byte, whatever the position.
  std::string Text() const { return std::string(bytes_.begin(), bytes_.end()); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace varnel
