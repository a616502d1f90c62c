#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace varnel::sim {

// Logger memory is addressed in pages of 64 bytes.
inline constexpr std::size_t kPageSize = 64;
using PageBytes = std::array<std::uint8_t, kPageSize>;

// The 6-byte header at the start of every ring page.
struct PageHeader {
  bool start = false;       // first page of a record
  std::uint8_t type = 0;    // 0..2; 3 marks an invalid page
  std::uint16_t link = 0;   // 13 bits: the first page of the record this page belongs to
  std::uint32_t time = 0;   // device seconds; the start time of the record on a first page
};

inline constexpr std::uint16_t kMaxLinkPage = 0x1FFF;  // the link field has 13 bits

void PutPageHeader(const PageHeader& header, std::uint8_t* page);
PageHeader GetPageHeader(const std::uint8_t* page);
// A header is valid when its type is at most 2 and a first page links to itself.
bool PageHeaderValid(const PageHeader& header, std::uint16_t pageNumber);

// Page entries: 4 bytes each from byte 8 to the end of the page (bytes 6 and 7 are unused).
inline constexpr std::size_t kFirstEntryOffset = 8;
inline constexpr std::size_t kEntrySize = 4;
inline constexpr std::size_t kEntriesPerPage = (kPageSize - kFirstEntryOffset) / kEntrySize;

// First byte of an entry: 0xhl with h = channel 0..14 and l = seconds since the entry
// before; or one of these codes, followed by a 24-bit number.
inline constexpr std::uint8_t kTimeJump = 0xF0;
inline constexpr std::uint8_t kFirstMarker = 0xF1;   // 0xF1..0xF3: marker, no time change
inline constexpr std::uint8_t kLastMarker = 0xF3;
inline constexpr std::uint8_t kNumberEvent = 0xF4;   // event whose value is the number
inline constexpr std::uint8_t kFirstEvent = 0xF5;    // 0xF5..0xFE: event with an argument
inline constexpr std::uint8_t kLastEvent = 0xFE;
inline constexpr std::uint8_t kEndMark = 0xFF;
inline constexpr std::uint8_t kMaxChannel = 14;

// Kinds of the decoded measurement entries.
inline constexpr std::uint8_t kKindEvent = 15;
inline constexpr std::uint8_t kKindMarker = 16;

// The top three bytes of an IEEE single: how the logger stores a measured value.
std::array<std::uint8_t, 3> FloatTo24(float value);
float Float24ToFloat(const std::array<std::uint8_t, 3>& bytes);

}  // namespace varnel::sim
