#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/page_format.h"

namespace varnel::sim {

// Where things lie in the logger's memory: the record ring at the bottom, then the identity
// page, then the comment pages up to the last page.
struct MemoryLayout {
  std::uint16_t lastPage = 2047;
  std::uint8_t reservedPages = 8;

  std::uint16_t LastRingPage() const { return static_cast<std::uint16_t>(lastPage - reservedPages); }
  std::uint32_t RingPages() const { return std::uint32_t{LastRingPage()} + 1; }
  std::uint16_t IdPage() const { return static_cast<std::uint16_t>(LastRingPage() + 1); }
  std::uint16_t CommentPage() const { return static_cast<std::uint16_t>(LastRingPage() + 2); }
  std::uint32_t Pages() const { return std::uint32_t{lastPage} + 1; }
};

// Why a layout cannot be used, or "" when it can.
std::string CheckLayout(const MemoryLayout& layout);

// The logger's flash: erased pages read 0xFF. The ring is written one page at a time after
// the write pointer, which then points at the page written last.
class LoggerMemory {
 public:
  explicit LoggerMemory(const MemoryLayout& layout);

  const MemoryLayout& layout() const { return layout_; }
  std::uint8_t* Page(std::uint16_t page) { return bytes_.data() + std::size_t{page} * kPageSize; }
  const std::uint8_t* Page(std::uint16_t page) const {
    return bytes_.data() + std::size_t{page} * kPageSize;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  std::uint16_t writePointer() const { return writePointer_; }
  // The page the next ring write goes to (the oldest page of the ring).
  std::uint16_t NextRingPage() const;
  // Only for building a memory: where the ring was last written before the simulation.
  void SetWritePointer(std::uint16_t page) { writePointer_ = page; }
  // Writes a ring page after the write pointer and returns its number.
  std::uint16_t AppendRingPage(const PageBytes& page);
  // Every ring page has been written at least once since the memory was erased.
  bool RingFull() const { return ringPagesWritten_ >= layout_.RingPages(); }
  std::uint64_t ringPagesWritten() const { return ringPagesWritten_; }

  // The text stored from page `first` on: its bytes up to the first 0xFF, at most up to the
  // end of `last`.
  std::string ReadText(std::uint16_t first, std::uint16_t last) const;
  // Stores text from page `first` on with a 0xFF after it when there is room before the end
  // of page `last`; the rest of those pages is erased.
  void WriteText(std::uint16_t first, std::uint16_t last, const std::string& text);

 private:
  MemoryLayout layout_;
  std::vector<std::uint8_t> bytes_;
  std::uint16_t writePointer_;
  std::uint64_t ringPagesWritten_ = 0;
};

}  // namespace varnel::sim
