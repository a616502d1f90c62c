#pragma once
#include <cstddef>
#include <cstdint>

// Layout of the logger's memory as the workers see it: 64-byte pages, a ring of record
// pages at the bottom, the identity page and the comment pages above it, and the 6-byte
// header that starts every ring page.
namespace varnel {

inline constexpr std::size_t kPageSize = 64;
inline constexpr std::size_t kPageHeaderSize = 6;

// Age of ring page p for write pointer W on a ring of pages 0..N: 0 is the oldest page
// (the one after W), N the newest (W itself). The arithmetic is 16-bit unsigned, so an
// invalid W (above N) wraps instead of failing; check pointers with RingPointerValid first.
constexpr std::uint16_t RingIndex(std::uint16_t p, std::uint16_t W, std::uint16_t N) {
  return p > W ? static_cast<std::uint16_t>(p - W - 1) : static_cast<std::uint16_t>(N - W + p);
}

// The page of age x: the inverse of RingIndex for the same W and N.
constexpr std::uint16_t RingPage(std::uint16_t x, std::uint16_t W, std::uint16_t N) {
  return x < static_cast<std::uint16_t>(N - W) ? static_cast<std::uint16_t>(x + W + 1)
                                               : static_cast<std::uint16_t>(x + W - N);
}

// A page number (write pointer, link, record bound) read from the logger points into the
// ring only when it is at most N.
constexpr bool RingPointerValid(std::uint16_t p, std::uint16_t N) { return p <= N; }

// The memory map derived from configuration entry 2. The ring ends ReservedPages below
// the last page; the identity page follows the ring, the comment pages follow that.
constexpr std::uint16_t LastRingPageOf(std::uint16_t lastPage, std::uint8_t reservedPages) {
  return static_cast<std::uint16_t>(lastPage - reservedPages);
}
constexpr std::uint16_t IdPageOf(std::uint16_t lastRingPage) {
  return static_cast<std::uint16_t>(lastRingPage + 1);
}
constexpr std::uint16_t CommentPageOf(std::uint16_t lastRingPage) {
  return static_cast<std::uint16_t>(lastRingPage + 2);
}
// A layout is usable when the reserved pages fit below the last page (otherwise the ring
// bound wraps round to a huge number). A ring may fill the whole memory: the records are
// still whole, only the texts above the ring have no page.
constexpr bool MemoryLayoutValid(std::uint16_t lastPage, std::uint8_t reservedPages) {
  return reservedPages <= lastPage;
}
// Whether the identity page, and the first comment page, lie inside memory. Without them
// the page numbers of IdPageOf and CommentPageOf point past the last page (or, at the top
// of a 16-bit page range, wrap round into the ring).
constexpr bool HasIdPage(std::uint8_t reservedPages) { return reservedPages >= 1; }
constexpr bool HasCommentPages(std::uint8_t reservedPages) { return reservedPages >= 2; }

// A decoded page header. Byte 0: bit 7 start flag, bits 6-5 type, bits 4-0 the high bits
// of the 13-bit link; byte 1 the low link byte; bytes 2-5 the device time, MSB first.
struct PageHeader {
  std::uint16_t Page = 0;  // the page the header was read from
  std::uint8_t Type = 0;   // 0..2; 3 marks an invalid page
  bool Start = false;      // first page of a record
  std::uint16_t Link = 0;  // first page of the record this page belongs to
  std::uint32_t Time = 0;  // seconds since 2000-01-01; the record's start on a first page
};

// Decodes the first kPageHeaderSize bytes of `bytes`, read from page `page`.
PageHeader DecodeHeader(const std::uint8_t* bytes, std::uint16_t page);

// Type at most 2, and a first page must link to itself.
constexpr bool HeaderValid(const PageHeader& h) {
  return h.Type < 3 && (!h.Start || h.Link == h.Page);
}

}  // namespace varnel
