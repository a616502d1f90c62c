// Byte-exact content of the seven blocks as the file worker writes them.
#include <gtest/gtest.h>

#include "files/idc_blocks.h"
#include "files_test_util.h"
#include "link/byte_order.h"
#include "link/crc16.h"

namespace varnel {
namespace {

using test::FindBlock;
using test::TempDir;

std::vector<std::uint8_t> WriteSample(const TempDir& dir, const IdcLoggerInfo& logger,
                                      const std::vector<IdcEntry>& entries = {}) {
  const auto path = dir / "sample.IDC";
  WriteIdcFile(path, kIdcVersionText, logger, test::SampleRecord(), entries);
  return test::ReadBytes(path);
}

TEST(IdcBlocks, FileStartsWithWriterTagBlock) {
  TempDir dir;
  const auto b = WriteSample(dir, test::SampleLogger());
  const std::vector<std::uint8_t> head = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x0E, 0x00};
  ASSERT_GE(b.size(), 22u);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), b.begin()));
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 22), test::WriterTag());
  EXPECT_EQ(FindBlock(b, 0).Length, 16u);
}

TEST(IdcBlocks, AllSevenBlocksInFileOrderAndChecksumOverAllBefore) {
  TempDir dir;
  const auto b = WriteSample(dir, test::SampleLogger(), test::SampleEntries());
  const auto blocks = test::WalkBlocks(b);
  ASSERT_EQ(blocks.size(), 7u);
  const std::uint16_t order[] = {0, 1, 3, 2, 4, 5, 8};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(blocks[i].Id, order[i]);
  const std::size_t end = blocks.back().HeaderOffset + 6 + blocks.back().Length;
  EXPECT_EQ(end + 2, b.size());
  EXPECT_EQ(test::U16At(b, end), Crc16(b.data(), end));
}

TEST(IdcBlocks, BatteryBlockIs41Bytes) {
  TempDir dir;
  const auto b = WriteSample(dir, test::SampleLogger());
  const auto blk = FindBlock(b, 8);
  const std::vector<std::uint8_t> header = {0x08, 0x00, 0x00, 0x00, 0x29, 0x00};
  EXPECT_TRUE(std::equal(header.begin(), header.end(), b.begin() + blk.HeaderOffset));
  ASSERT_EQ(blk.Content.size(), 41u);
  EXPECT_EQ(blk.Content[0], 87);
  for (std::size_t i = 1; i < 41; ++i) EXPECT_EQ(blk.Content[i], 0) << i;
}

TEST(IdcBlocks, IdentityBlock) {
  TempDir dir;
  IdcLoggerInfo logger = test::SampleLogger();
  logger.Floats100[0] = test::FloatFromBytes(0x48, 0x32, 0x4F, 0x20);  // "H2O "
  const auto c = FindBlock(WriteSample(dir, logger), 1).Content;
  const std::vector<std::uint8_t> expected = {
      0x0A, 0x03, 0x02, 0x01,  // d3 d2 d1 d0
      0x40, 0xE2, 0x01, 0x00,  // 123456
      0x01,                    // water
      0x06, 0x00, 'W', 'e', 'l', 'l', ' ', '4',
      0x0E, 0x00, 'L', 'i', 'n', 'e', ' ', '1', '\r', '\n', 'L', 'i', 'n', 'e', ' ', '2'};
  EXPECT_EQ(c, expected);

  logger.Floats100[0] = test::FloatFromBytes(0x48, 0x32, 0x4F, 0x21);
  EXPECT_EQ(FindBlock(WriteSample(dir, logger), 1).Content[8], 0);
}

TEST(IdcBlocks, ChannelBlockCountsBits0To14Only) {
  TempDir dir;
  IdcLoggerInfo logger = test::SampleLogger();
  logger.ChannelMask = 0x8007;  // bit 15 is never a channel
  const auto c = FindBlock(WriteSample(dir, logger), 3).Content;
  ASSERT_EQ(c.size(), 4u + 3u * 60u);
  EXPECT_EQ(test::U16At(c, 0), 0x8007);
  EXPECT_EQ(test::U16At(c, 2), 3);
  for (std::uint8_t k = 0; k < 3; ++k) {
    const std::size_t e = 4 + k * 60u;
    EXPECT_EQ(c[e], k);
    const std::vector<std::uint8_t> bar = {0x03, 0x62, 0x61, 0x72};
    EXPECT_TRUE(std::equal(bar.begin(), bar.end(), c.begin() + static_cast<long>(e) + 1));
    EXPECT_EQ(test::F32At(c, e + 8), 1.0f);
    EXPECT_EQ(test::F32At(c, e + 12), 0.0f);
    EXPECT_EQ(c[e + 16], 0);
  }
}

TEST(IdcBlocks, ChannelUnitsByChannelNumber) {
  TempDir dir;
  IdcLoggerInfo logger = test::SampleLogger();
  logger.ChannelMask = 0x4048;  // channels 3, 6, 14
  const auto c = FindBlock(WriteSample(dir, logger), 3).Content;
  ASSERT_EQ(c.size(), 4u + 3u * 60u);
  EXPECT_EQ(c[4], 3);
  EXPECT_EQ(c[5], 0x02);
  EXPECT_EQ(c[6], 0xB0);
  EXPECT_EQ(c[7], 0x43);
  EXPECT_EQ(c[64], 6);
  EXPECT_EQ(c[65], 0x00);
  EXPECT_EQ(c[124], 14);
  EXPECT_EQ(c[125], 0x00);

  logger.ChannelMask = 0;
  EXPECT_EQ(FindBlock(WriteSample(dir, logger), 3).Content,
            (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(IdcBlocks, MeasurementBlockEntries) {
  TempDir dir;
  const std::vector<IdcEntry> entries = {
      {DeviceTimeToDateTime(86400 + 10), 3, 1.0f, 0},
      {DeviceTimeToDateTime(86400 + 70), 16, 1.0f, 60},
      {DeviceTimeToDateTime(86400 + 70), 15, 250.0f, 250}};
  const auto c = FindBlock(WriteSample(dir, test::SampleLogger(), entries), 2).Content;
  ASSERT_EQ(c.size(), 4u + 3u * 24u);
  EXPECT_EQ(test::U32At(c, 0), 3u);
  // 2000-01-02 00:00:10 is day 36527 and ten seconds.
  EXPECT_DOUBLE_EQ(test::F64At(c, 4), 36527.0 + 10.0 / 86400.0);
  EXPECT_EQ(c[12], 3);
  EXPECT_EQ(test::F32At(c, 16), 1.0f);
  EXPECT_EQ(test::U32At(c, 20), 0u);
  EXPECT_EQ(c[4 + 24 + 8], 16);
  EXPECT_EQ(test::U32At(c, 4 + 24 + 16), 60u);
  EXPECT_EQ(c[4 + 48 + 8], 15);
  EXPECT_EQ(test::F32At(c, 4 + 48 + 12), 250.0f);

  const auto empty = FindBlock(WriteSample(dir, test::SampleLogger()), 2).Content;
  EXPECT_EQ(empty, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(IdcBlocks, MeasurementProgressEveryTenthEntry) {
  TempDir dir;
  TDataFile f;
  f.Create(dir / "p.idc");
  std::vector<std::size_t> calls;
  const std::vector<IdcEntry> entries(25);
  PutMeasurementBlock(f, entries, [&](std::size_t i) { calls.push_back(i); });
  EXPECT_EQ(calls, (std::vector<std::size_t>{0, 10, 20}));
}

TEST(IdcBlocks, FloatBlockPairsFollowMaskBits) {
  TempDir dir;
  IdcLoggerInfo logger = test::SampleLogger();
  logger.ChannelMask = 0x0035;  // bits 0x01 (no pair), 0x04, 0x10, 0x20
  const auto c = FindBlock(WriteSample(dir, logger), 4).Content;
  ASSERT_EQ(c.size(), 48u + 2u + 3u * 8u);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(test::F32At(c, 4 * i), logger.Floats100[i]);
  EXPECT_EQ(test::U16At(c, 48), 0x0035);
  EXPECT_EQ(test::F32At(c, 50), logger.Floats80[2]);  // bit 0x04: floats 82, 83
  EXPECT_EQ(test::F32At(c, 54), logger.Floats80[3]);
  EXPECT_EQ(test::F32At(c, 58), logger.Floats80[6]);  // bit 0x10: floats 86, 87
  EXPECT_EQ(test::F32At(c, 62), logger.Floats80[7]);
  EXPECT_EQ(test::F32At(c, 66), logger.Floats80[8]);  // bit 0x20: floats 88, 89
  EXPECT_EQ(test::F32At(c, 70), logger.Floats80[9]);
}

TEST(IdcBlocks, RecordValuesBlockWideIs31Bytes) {
  TempDir dir;
  const auto c = FindBlock(WriteSample(dir, test::SampleLogger()), 5).Content;
  const std::vector<std::uint8_t> expected = {
      0x44, 0x33, 0x22, 0x11,  // start time
      0x00, 0x00, 0x00, 0x00,  // second time
      0x04, 0x03, 0x02, 0x01,  // Cfg8 << 16 | Cfg7A
      0x00, 0x00, 0x80, 0x3F,  // 1.0
      0x00, 0x00, 0x00, 0xC0,  // -2.0
      0xDD, 0xCC, 0xBB, 0xAA,  // Cfg9
      0x34, 0x12,              // Cfg6A
      0x78, 0x56,              // Cfg7B << 8 | Cfg6C
      0xBC, 0x9A,              // Cfg6B
      0x01};
  EXPECT_EQ(c, expected);
}

TEST(IdcBlocks, RecordValuesBlockNarrowIs29Bytes) {
  TempDir dir;
  IdcLoggerInfo logger = test::SampleLogger();
  logger.WideCfg9 = false;
  logger.Cfg1Bit = false;
  const auto c = FindBlock(WriteSample(dir, logger), 5).Content;
  ASSERT_EQ(c.size(), 29u);
  // Entry 5: the low half of Cfg9 above Cfg6A.
  const std::vector<std::uint8_t> entry5 = {0x34, 0x12, 0xDD, 0xCC};
  EXPECT_TRUE(std::equal(entry5.begin(), entry5.end(), c.begin() + 20));
  EXPECT_EQ(test::U16At(c, 24), 0x5678);
  EXPECT_EQ(test::U16At(c, 26), 0x9ABC);
  EXPECT_EQ(c[28], 0);
}

}  // namespace
}  // namespace varnel
