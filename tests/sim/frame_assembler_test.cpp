// Cutting the host's byte stream into request frames.
#include <gtest/gtest.h>

#include "link/crc16.h"
#include "sim/frame_assembler.h"

namespace varnel::sim {
namespace {

std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

TEST(FrameAssembler, FramesSplitAndJoinedAreCutByTheirLength) {
  FrameAssembler a;
  std::vector<FrameAssembler::Frame> out;
  const auto id = Frame({250, 0x30});
  const auto block = Frame({250, 0x44, 0, 9, 3});
  std::vector<std::uint8_t> both = id;
  both.insert(both.end(), block.begin(), block.end());
  a.Feed(both.data(), 3, 0, out);
  EXPECT_TRUE(out.empty());
  a.Feed(both.data() + 3, both.size() - 3, 1, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].bytes, id);
  EXPECT_EQ(out[1].bytes, block);
  EXPECT_TRUE(out[1].complete);
  EXPECT_EQ(a.pending(), 0u);
}

TEST(FrameAssembler, PageWriteLengthComesFromItsCount) {
  FrameAssembler a;
  std::vector<FrameAssembler::Frame> out;
  const auto write = Frame({250, 0x24, 0, 200, 4, 3, 'a', 'b', 'c'});
  a.Feed(write.data(), 6, 0, out);
  EXPECT_TRUE(out.empty());
  a.Feed(write.data() + 6, write.size() - 6, 0, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes.size(), 11u);
}

TEST(FrameAssembler, WakeByteBetweenFramesIsDropped) {
  FrameAssembler a;
  std::vector<FrameAssembler::Frame> out;
  std::vector<std::uint8_t> bytes{0xFF};
  const auto id = Frame({251, 0x30});
  bytes.insert(bytes.end(), id.begin(), id.end());
  a.Feed(bytes.data(), bytes.size(), 0, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, id);
  EXPECT_EQ(a.wakeBytes(), 1u);
  // 0xFF inside a frame is data, not a wake byte.
  const auto page = Frame({251, 0x43, 0xFF, 0xFF, 0, 6});
  a.Feed(page.data(), page.size(), 1, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].bytes, page);
}

TEST(FrameAssembler, UnknownFunctionEndsAtTheGapAndLeftoversAreDropped) {
  FrameAssembler a;
  std::vector<FrameAssembler::Frame> out;
  const auto odd = Frame({250, 0x77, 1, 2});
  a.Feed(odd.data(), odd.size(), 100, out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(a.NextDeadline(), 100 + FrameAssembler::kGapMs);
  a.Tick(100 + FrameAssembler::kGapMs - 1, out);
  EXPECT_TRUE(out.empty());
  a.Tick(100 + FrameAssembler::kGapMs, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].bytes, odd);
  EXPECT_FALSE(out[0].complete);

  // Half a frame followed by silence is given up; the next frame stands on its own.
  const auto id = Frame({250, 0x30});
  a.Feed(id.data(), 2, 200, out);
  a.Feed(id.data(), id.size(), 300, out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1].bytes.size(), 2u);
  EXPECT_FALSE(out[1].complete);
  EXPECT_EQ(out[2].bytes, id);
  EXPECT_EQ(a.NextDeadline(), -1);
}

}  // namespace
}  // namespace varnel::sim
