// Decoding the measurement entries of a record's pages.
#include <gtest/gtest.h>

#include <vector>

#include "link/byte_order.h"
#include "workers/page_decoder.h"

namespace varnel {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace page_decoder_test {

// A page with device time `time` whose entries (4 bytes each) start at byte 8; the rest of
// the page is erased (0xFF).
TPage MakePage(std::int16_t pageNo, std::uint32_t time, const std::vector<std::uint8_t>& entries) {
  std::array<std::uint8_t, kPageSize> data;
  data.fill(0xFF);
  PutU32BE(time, data.data() + 2);
  for (std::size_t i = 0; i < entries.size() && 8 + i < kPageSize; ++i) data[8 + i] = entries[i];
  return TPage(pageNo, data.data(), 0, time);
}

constexpr std::uint32_t kT = 760000000;

TEST(PageDecoder, MeasurementTakesItsChannelValueAndSecondsFromTheNibbles) {
  const std::vector<TPage> pages = {MakePage(5, kT, {0x3A, 0x3F, 0x80, 0x00})};
  const auto e = DecodeRecordPages(pages);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].Kind, 3);
  EXPECT_EQ(e[0].Value, 1.0f);
  EXPECT_EQ(e[0].Extra, 0u);
  EXPECT_EQ(e[0].DateTime, DeviceTimeToDateTime(kT + 10));
}

TEST(PageDecoder, TimeJumpAdvancesTheTimeAndMarkersOnlyMark) {
  const std::vector<TPage> pages = {MakePage(
      5, kT,
      {0x01, 0x40, 0x00, 0x00,    // channel 0, +1 s, 2.0
       0xF0, 0x00, 0x00, 0x3C,    // jump 60 s
       0xF2, 0x12, 0x34, 0x56,    // marker, no jump
       0x12, 0x40, 0x40, 0x00})};  // channel 1, +2 s, 3.0
  const auto e = DecodeRecordPages(pages);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[1].Kind, 16);
  EXPECT_EQ(e[1].Extra, 60u);
  EXPECT_EQ(e[1].DateTime, DeviceTimeToDateTime(kT + 61));
  EXPECT_EQ(e[1].Value, 2.0f);  // a marker carries the last value
  EXPECT_EQ(e[2].Kind, 16);
  EXPECT_EQ(e[2].Extra, 0x123456u);
  EXPECT_EQ(e[2].DateTime, DeviceTimeToDateTime(kT + 61));
  EXPECT_EQ(e[3].Kind, 1);
  EXPECT_EQ(e[3].Value, 3.0f);
  EXPECT_EQ(e[3].DateTime, DeviceTimeToDateTime(kT + 63));
}

TEST(PageDecoder, NumberEventSetsTheValueThatLaterEventsCarryAcrossPages) {
  // Newest page first, as read; the older page holds the 0xF4 event.
  const std::vector<TPage> pages = {
      MakePage(6, kT + 100, {0xF7, 0x00, 0x00, 0x09}),
      MakePage(5, kT, {0xF4, 0x00, 0x01, 0x00}),
  };
  const auto e = DecodeRecordPages(pages);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].Kind, 15);
  EXPECT_EQ(e[0].Value, 256.0f);
  EXPECT_EQ(e[0].Extra, 256u);
  EXPECT_EQ(e[0].DateTime, DeviceTimeToDateTime(kT));
  EXPECT_EQ(e[1].Kind, 15);
  EXPECT_EQ(e[1].Value, 256.0f);
  EXPECT_EQ(e[1].Extra, 9u);
  EXPECT_EQ(e[1].DateTime, DeviceTimeToDateTime(kT + 100));
}

TEST(PageDecoder, EventBeforeAnyValueCarriesZero) {
  const std::vector<TPage> pages = {MakePage(5, kT, {0xF9, 0x00, 0x00, 0x01})};
  const auto e = DecodeRecordPages(pages);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].Value, 0.0f);
}

TEST(PageDecoder, PageEndsAtTheEndMarkAndHoldsAtMostFourteenEntries) {
  EXPECT_TRUE(DecodeRecordPages(std::vector<TPage>{MakePage(5, kT, {0xFF, 0x00, 0x00, 0x00,
                                                                    0x01, 0x3F, 0x80, 0x00})})
                  .empty());
  std::vector<std::uint8_t> full;
  for (int i = 0; i < 20; ++i) full.insert(full.end(), {0x01, 0x3F, 0x80, 0x00});
  const auto e = DecodeRecordPages(std::vector<TPage>{MakePage(5, kT, full)});
  ASSERT_EQ(e.size(), 14u);
  EXPECT_EQ(e.back().DateTime, DeviceTimeToDateTime(kT + 14));
}

TEST(PageDecoder, PagesComeOutOldestFirstWhatEverTheirTimes) {
  const std::vector<TPage> pages = {
      MakePage(9, kT + 500, {0x21, 0x3F, 0x80, 0x00}),
      MakePage(8, kT + 200, {0x11, 0x3F, 0x80, 0x00}),
      MakePage(7, kT, {0x01, 0x3F, 0x80, 0x00}),
  };
  const auto e = DecodeRecordPages(pages);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].Kind, 0);
  EXPECT_EQ(e[1].Kind, 1);
  EXPECT_EQ(e[2].Kind, 2);
  EXPECT_EQ(e[2].DateTime, DeviceTimeToDateTime(kT + 501));
}

}  // namespace page_decoder_test
}  // namespace varnel
