#pragma once
#include <span>
#include <vector>

#include "device/page.h"
#include "files/idc_format.h"

namespace varnel {

// Decodes the measurement entries that the logger stored in a record's pages. `pages` is
// the record's page list as read: newest page first. The entries come out oldest page
// first, in their order within each page.
//
// From byte 8 on a page holds 4-byte entries: a first byte whose high nibble h and low
// nibble l say what it is, and three bytes of value.
//   h 0 ... 14  a value of channel h, taken l seconds after the entry before it (after the
//               page's time for the first); the three bytes are a truncated float
//   0xF0        the time jumps by the 24-bit number; a time marker
//   0xF1 - 0xF3 a time marker without a jump
//   0xF4        an event whose value is the number itself
//   0xF5 - 0xFE an event
//   0xFF        no more entries on this page
// An event or marker carries the value of the entry before it (across pages); before any
// value in the record that is 0.
std::vector<IdcEntry> DecodeRecordPages(std::span<const TPage> pages);

// True when `now` holds everything that decoding `earlier` reads: the same header and, in
// their places, every entry up to the end mark of `earlier`. A page the logger went on
// filling passes against its earlier copy, whatever followed the old end mark (never read)
// and whatever bytes 6 and 7 hold.
bool PageKeepsEntriesOf(const TPage& now, const TPage& earlier);

}  // namespace varnel
