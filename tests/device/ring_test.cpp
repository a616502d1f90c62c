// Ring arithmetic, the memory map and the page header.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/ring.h"

namespace varnel {
namespace {

TEST(Ring, WritePointerOnTheLastRingPage) {
  // W = N: page 0 is the oldest, page N the newest.
  for (std::uint16_t n : {1, 100, 8191}) {
    EXPECT_EQ(RingIndex(0, n, n), 0);
    EXPECT_EQ(RingPage(0, n, n), 0);
    EXPECT_EQ(RingIndex(n, n, n), n);
    EXPECT_EQ(RingPage(n, n, n), n);
  }
}

TEST(Ring, WritePointerInsideTheRing) {
  const std::uint16_t W = 5, N = 100;
  EXPECT_EQ(RingIndex(6, W, N), 0);    // the page after W is the oldest
  EXPECT_EQ(RingIndex(5, W, N), 100);  // W itself is the newest
  EXPECT_EQ(RingIndex(100, W, N), 94);
  EXPECT_EQ(RingIndex(0, W, N), 95);
  EXPECT_EQ(RingPage(94, W, N), 100);
  EXPECT_EQ(RingPage(95, W, N), 0);
  EXPECT_EQ(RingPage(0, W, N), 6);
  EXPECT_EQ(RingPage(100, W, N), 5);
}

TEST(Ring, WritePointerOnPageZero) {
  EXPECT_EQ(RingIndex(1, 0, 50), 0);
  EXPECT_EQ(RingIndex(0, 0, 50), 50);
  EXPECT_EQ(RingPage(49, 0, 50), 50);
  EXPECT_EQ(RingPage(50, 0, 50), 0);
}

TEST(Ring, RingPageInvertsRingIndexForEveryPageAndWritePointer) {
  for (std::uint16_t n : {0, 1, 2, 7, 100, 511}) {
    for (std::uint16_t w = 0; w <= n; ++w) {
      std::vector<bool> seen(n + 1u, false);
      for (std::uint16_t p = 0; p <= n; ++p) {
        const std::uint16_t x = RingIndex(p, w, n);
        ASSERT_LE(x, n) << "p=" << p << " W=" << w << " N=" << n;
        ASSERT_FALSE(seen[x]) << "two pages of the same age, N=" << n << " W=" << w;
        seen[x] = true;
        ASSERT_EQ(RingPage(x, w, n), p) << "p=" << p << " W=" << w << " N=" << n;
      }
    }
  }
}

TEST(Ring, AgesIncreaseFromTheOldestPageRoundToTheWritePointer) {
  // The largest ring the 13-bit link can address, a few write pointers.
  const std::uint16_t n = 8191;
  for (std::uint16_t w : {0, 1, 4000, 8190, 8191}) {
    std::uint16_t p = w == n ? 0 : static_cast<std::uint16_t>(w + 1);
    for (std::uint32_t age = 0; age <= n; ++age) {
      ASSERT_EQ(RingIndex(p, w, n), age);
      ASSERT_EQ(RingPage(static_cast<std::uint16_t>(age), w, n), p);
      p = p == n ? 0 : static_cast<std::uint16_t>(p + 1);
    }
  }
}

TEST(Ring, PointerValidity) {
  EXPECT_TRUE(RingPointerValid(0, 100));
  EXPECT_TRUE(RingPointerValid(100, 100));
  EXPECT_FALSE(RingPointerValid(101, 100));
  EXPECT_FALSE(RingPointerValid(0xFFFF, 100));
}

TEST(MemoryMap, RingIdentityAndCommentPagesLieInOrder) {
  const std::uint16_t lastRing = LastRingPageOf(8191, 17);
  EXPECT_EQ(lastRing, 8174);
  EXPECT_EQ(IdPageOf(lastRing), 8175);
  EXPECT_EQ(CommentPageOf(lastRing), 8176);
}

TEST(MemoryMap, ReservedPagesMustFitBelowTheLastPage) {
  EXPECT_TRUE(MemoryLayoutValid(8191, 17));
  EXPECT_TRUE(MemoryLayoutValid(1, 1));
  EXPECT_TRUE(MemoryLayoutValid(8191, 0));  // a ring over the whole memory, without texts
  EXPECT_FALSE(MemoryLayoutValid(10, 11));  // the ring bound would wrap round
}

TEST(PageHeader, DecodesAllFields) {
  const std::uint8_t bytes[] = {0x80 | 0x40 | 0x13, 0x45, 0x12, 0x34, 0x56, 0x78};
  const PageHeader h = DecodeHeader(bytes, 0x1345);
  EXPECT_EQ(h.Page, 0x1345);
  EXPECT_TRUE(h.Start);
  EXPECT_EQ(h.Type, 2);
  EXPECT_EQ(h.Link, 0x1345);
  EXPECT_EQ(h.Time, 0x12345678u);
  EXPECT_TRUE(HeaderValid(h));
}

TEST(PageHeader, FollowingPageLinksToTheRecordStart) {
  const std::uint8_t bytes[] = {0x20 | 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  const PageHeader h = DecodeHeader(bytes, 300);
  EXPECT_FALSE(h.Start);
  EXPECT_EQ(h.Type, 1);
  EXPECT_EQ(h.Link, 256);
  EXPECT_EQ(h.Time, 0xFFFFFFFFu);
  EXPECT_TRUE(HeaderValid(h));  // only a first page must link to itself
}

TEST(PageHeader, FirstPageLinkingElsewhereIsInvalid) {
  const std::uint8_t bytes[] = {0x80, 0x07, 0, 0, 0, 1};
  EXPECT_FALSE(HeaderValid(DecodeHeader(bytes, 8)));
  EXPECT_TRUE(HeaderValid(DecodeHeader(bytes, 7)));
}

TEST(PageHeader, TypeThreeIsInvalidWhateverTheRest) {
  // Erased memory reads as 0xFF: start flag, type 3, link 0x1FFF.
  const std::uint8_t erased[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(HeaderValid(DecodeHeader(erased, 0x1FFF)));
  const std::uint8_t follow[] = {0x60, 0x00, 0, 0, 0, 0};
  const PageHeader h = DecodeHeader(follow, 0);
  EXPECT_EQ(h.Type, 3);
  EXPECT_FALSE(HeaderValid(h));
}

}  // namespace
}  // namespace varnel
