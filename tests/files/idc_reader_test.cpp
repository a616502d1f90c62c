// Reading data files back: the round trip of every field and entry kind, and the errors
// for files that are truncated, unfinished or damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "files/file_error.h"
#include "files/idc_blocks.h"
#include "files/idc_reader.h"
#include "files_test_util.h"
#include "link/byte_order.h"

namespace varnel {
namespace {

using test::TempDir;

std::vector<std::uint8_t> SampleFile(const TempDir& dir, const IdcLoggerInfo& logger,
                                     const std::vector<IdcEntry>& entries) {
  WriteIdcFile(dir / "s.IDC", kIdcVersionText, logger, test::SampleRecord(), entries);
  return test::ReadBytes(dir / "s.IDC");
}

// The fault and its offset, or a failure when the bytes were accepted.
FileFormatError ParseError(const std::vector<std::uint8_t>& bytes) {
  try {
    ParseIdc(bytes);
  } catch (const FileFormatError& e) {
    return e;
  }
  ADD_FAILURE() << "damaged file accepted";
  return FileFormatError(0, "accepted");
}

// A file written block by block with TDataFile, for layouts the normal writer never makes.
class CustomFile {
 public:
  explicit CustomFile(const TempDir& dir) : path_(dir / "c.IDC") { f_.Create(path_); }
  TDataFile& File() { return f_; }
  std::vector<std::uint8_t> Finish() {
    f_.Finish();
    return test::ReadBytes(path_);
  }
  // Writes the standard blocks whose ids are not in `skip`.
  void Standard(std::initializer_list<std::uint16_t> skip) {
    const IdcLoggerInfo l = test::SampleLogger();
    auto skipped = [&](std::uint16_t id) {
      return std::find(skip.begin(), skip.end(), id) != skip.end();
    };
    if (!skipped(0)) PutWriterTagBlock(f_, kIdcVersionText), f_.EndBlock();
    if (!skipped(1)) PutIdentityBlock(f_, l), f_.EndBlock();
    if (!skipped(3)) PutChannelBlock(f_, l.ChannelMask), f_.EndBlock();
    if (!skipped(2)) PutMeasurementBlock(f_, test::SampleEntries()), f_.EndBlock();
    if (!skipped(4)) PutFloatBlock(f_, l), f_.EndBlock();
    if (!skipped(5)) PutRecordValuesBlock(f_, l, test::SampleRecord()), f_.EndBlock();
    if (!skipped(8)) PutBatteryBlock(f_, l.BatteryCapacity), f_.EndBlock();
  }

 private:
  std::filesystem::path path_;
  TDataFile f_;
};

TEST(IdcReader, RoundTripOfEveryFieldAndEntryKind) {
  TempDir dir;
  const IdcLoggerInfo l = test::SampleLogger();
  std::vector<IdcEntry> entries = test::SampleEntries();
  entries.push_back({DeviceTimeToDateTime(5), 2, std::numeric_limits<float>::quiet_NaN(), 0});
  entries.push_back({DeviceTimeToDateTime(6), 15, -0.0f, 0xFFFFFF});
  const auto bytes = SampleFile(dir, l, entries);
  const IdcFile f = ReadIdcFile(dir / "s.IDC");

  EXPECT_EQ(f.Size, bytes.size());
  EXPECT_EQ(f.Checksum, test::U16At(bytes, bytes.size() - 2));
  ASSERT_EQ(f.Blocks.size(), 7u);
  EXPECT_EQ(f.Blocks[3].Id, 2);
  EXPECT_EQ(f.Blocks[3].Length, 4u + 24u * entries.size());
  EXPECT_EQ(f.WriterTag, test::WriterTag());
  EXPECT_EQ(f.Identity, 0x0102030Au);
  EXPECT_EQ(f.SerialNumber, 123456u);
  EXPECT_EQ(f.WaterFlag, 0);
  EXPECT_EQ(f.IdentityText, l.IdentityText);
  EXPECT_EQ(f.CommentText, l.CommentText);
  EXPECT_EQ(f.ChannelMask, 0x0016);
  ASSERT_EQ(f.Channels.size(), 3u);
  EXPECT_EQ(f.Channels[0], IdcChannelFor(1));
  EXPECT_EQ(f.Channels[1], IdcChannelFor(2));
  EXPECT_EQ(f.Channels[2], IdcChannelFor(4));
  EXPECT_EQ(f.Channels[2].Unit, "\xB0" "C");

  ASSERT_EQ(f.Measurements.size(), entries.size());
  for (std::size_t i = 0; i + 2 < entries.size(); ++i) EXPECT_EQ(f.Measurements[i], entries[i]) << i;
  EXPECT_TRUE(std::isnan(f.Measurements[entries.size() - 2].Value));
  EXPECT_TRUE(std::signbit(f.Measurements.back().Value));
  EXPECT_EQ(f.Measurements.back().Extra, 0xFFFFFFu);

  EXPECT_EQ(f.Floats100, l.Floats100);
  EXPECT_EQ(f.FloatsChannelMask, 0x0016);
  ASSERT_EQ(f.Floats80.size(), 3u);  // mask bits 0x02, 0x04 and 0x10
  EXPECT_EQ(f.Floats80[0].Index, 0);
  EXPECT_EQ(f.Floats80[1].Index, 2);
  EXPECT_EQ(f.Floats80[2].Index, 6);
  EXPECT_EQ(f.Floats80[2].First, l.Floats80[6]);
  EXPECT_EQ(f.Floats80[2].Second, l.Floats80[7]);
}

TEST(IdcReader, FloatPairsAndRecordValues) {
  TempDir dir;
  IdcLoggerInfo l = test::SampleLogger();
  l.ChannelMask = 0x0032;  // pairs for 0x02, 0x10, 0x20
  SampleFile(dir, l, {});
  IdcFile f = ReadIdcFile(dir / "s.IDC");
  ASSERT_EQ(f.Floats80.size(), 3u);
  EXPECT_EQ(f.Floats80[0].Index, 0);
  EXPECT_EQ(f.Floats80[0].First, l.Floats80[0]);
  EXPECT_EQ(f.Floats80[1].Index, 6);
  EXPECT_EQ(f.Floats80[1].Second, l.Floats80[7]);
  EXPECT_EQ(f.Floats80[2].Index, 8);
  EXPECT_EQ(f.StartTime, 0x11223344u);
  EXPECT_EQ(f.Time2, 0u);
  EXPECT_EQ(f.Cfg8, 0x0102);
  EXPECT_EQ(f.Cfg7A, 0x0304);
  EXPECT_EQ(f.Float96, 1.0f);
  EXPECT_EQ(f.Float97, -2.0f);
  EXPECT_TRUE(f.WideCfg9);
  EXPECT_EQ(f.Cfg9, 0xAABBCCDDu);
  EXPECT_EQ(f.Cfg6A, 0x1234);
  EXPECT_EQ(f.Cfg7B, 0x56);
  EXPECT_EQ(f.Cfg6C, 0x78);
  EXPECT_EQ(f.Cfg6B, 0x9ABC);
  EXPECT_EQ(f.Cfg1Bit, 1);
  EXPECT_EQ(f.BatteryCapacity, 87);
  EXPECT_TRUE(f.Measurements.empty());

  l.WideCfg9 = false;
  SampleFile(dir, l, {});
  f = ReadIdcFile(dir / "s.IDC");
  EXPECT_FALSE(f.WideCfg9);
  EXPECT_EQ(f.Cfg9, 0xCCDDu);  // entry 5 keeps the low half only
  EXPECT_EQ(f.Cfg6A, 0x1234);
}

TEST(IdcReader, EveryTruncationIsAnErrorAtOrBeforeTheEnd) {
  TempDir dir;
  const auto bytes = SampleFile(dir, test::SampleLogger(), test::SampleEntries());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    const FileFormatError e = ParseError(cut);
    EXPECT_LE(e.Offset(), n) << "cut at " << n;
  }
}

TEST(IdcReader, UnfinishedFileIsNamedSo) {
  TempDir dir;
  const auto bytes = SampleFile(dir, test::SampleLogger(), {});
  const std::vector<std::uint8_t> noSum(bytes.begin(), bytes.end() - 2);
  const FileFormatError e = ParseError(noSum);
  EXPECT_NE(e.Detail().find("not finished"), std::string::npos) << e.what();
  EXPECT_EQ(e.Offset(), noSum.size());
}

TEST(IdcReader, AnyChangedByteIsFound) {
  TempDir dir;
  const auto bytes = SampleFile(dir, test::SampleLogger(), test::SampleEntries());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto bad = bytes;
    bad[i] ^= 0x5A;
    ParseError(bad);
  }
}

TEST(IdcReader, WrongChecksumReportedAtItsOffset) {
  TempDir dir;
  auto bytes = SampleFile(dir, test::SampleLogger(), test::SampleEntries());
  bytes[40] ^= 1;  // inside block 1, lengths untouched
  const FileFormatError e = ParseError(bytes);
  EXPECT_EQ(e.Offset(), bytes.size() - 2);
  EXPECT_NE(e.Detail().find("check sum"), std::string::npos);
}

TEST(IdcReader, BlockLongerThanTheFile) {
  TempDir dir;
  auto bytes = SampleFile(dir, test::SampleLogger(), {});
  const test::RawBlock b = test::FindBlock(bytes, 4);
  bytes[b.HeaderOffset + 2] = 0x01;  // high word: 65536 bytes more
  test::FixChecksum(bytes);
  const FileFormatError e = ParseError(bytes);
  EXPECT_EQ(e.Offset(), b.HeaderOffset);
  EXPECT_NE(e.Detail().find("truncated"), std::string::npos);
}

TEST(IdcReader, MissingRepeatedAndUnknownBlocks) {
  {
    TempDir dir;
    CustomFile c(dir);
    c.Standard({4});
    const FileFormatError e = ParseError(c.Finish());
    EXPECT_NE(e.Detail().find("block 4 is missing"), std::string::npos) << e.what();
  }
  {
    TempDir dir;
    CustomFile c(dir);
    c.Standard({});
    PutBatteryBlock(c.File(), 1);
    c.File().EndBlock();
    const auto bytes = c.Finish();
    const FileFormatError e = ParseError(bytes);
    EXPECT_EQ(e.Offset(), bytes.size() - 2 - 47);
    EXPECT_NE(e.Detail().find("twice"), std::string::npos);
  }
  {
    // Blocks of ids this reader does not know are skipped, not refused.
    TempDir dir;
    CustomFile c(dir);
    c.Standard({});
    c.File().BeginBlock(42);
    c.File().PutU32(7);
    c.File().EndBlock();
    const IdcFile f = ParseIdc(c.Finish());
    ASSERT_EQ(f.Blocks.size(), 8u);
    EXPECT_EQ(f.Blocks.back().Id, 42);
    EXPECT_EQ(f.Blocks.back().Length, 4u);
    EXPECT_EQ(f.BatteryCapacity, 87);
  }
}

TEST(IdcReader, FieldsThatContradictTheBlockLength) {
  const IdcLoggerInfo l = test::SampleLogger();
  auto expectError = [&](auto&& putBlock, const char* detail) {
    TempDir dir;
    CustomFile c(dir);
    putBlock(c.File());
    c.File().EndBlock();
    c.Standard({});
    const FileFormatError e = ParseError(c.Finish());
    EXPECT_NE(e.Detail().find(detail), std::string::npos) << e.what();
  };
  // The file would also hold two copies of the block; the first one is refused first.
  expectError([](TDataFile& f) {
    f.BeginBlock(3);
    f.PutU16(0x0007);
    f.PutU16(2);
  }, "channel count 2");
  expectError([](TDataFile& f) {
    f.BeginBlock(3);
    f.PutU16(0x0001);
    f.PutU16(1);
    f.PutRecord60(IdcChannelFor(3));
  }, "is for channel 3");
  expectError([](TDataFile& f) {
    f.BeginBlock(2);
    f.PutI32(-1);
  }, "negative measurement count");
  expectError([](TDataFile& f) {
    f.BeginBlock(2);
    f.PutI32(2);
    f.PutRecord24({});
  }, "does not match the block length");
  expectError([](TDataFile& f) {
    f.BeginBlock(2);
    f.PutI32(1);
    f.PutRecord24({1.0, 17, 0.0f, 0});
  }, "unknown measurement kind 17");
  expectError([&](TDataFile& f) {
    PutRecordValuesBlock(f, l, test::SampleRecord());
    f.PutU8(0);
  }, "not 29 or 31");
  expectError([&](TDataFile& f) {
    PutBatteryBlock(f, 1);
    f.PutU8(0);
  }, "beyond its fields");
  expectError([&](TDataFile& f) {
    f.BeginBlock(0);
    f.PutU16(20);
    f.PutU8('R');
  }, "writer tag");
}

TEST(IdcReader, FilesThatCannotBeRead) {
  TempDir dir;
  EXPECT_THROW(ReadIdcFile(dir / "none.IDC"), FileError);
  EXPECT_THROW(ReadIdcFile(dir.Path()), FileError);
  test::WriteBytes(dir / "empty.IDC", {});
  try {
    ReadIdcFile(dir / "empty.IDC");
    FAIL();
  } catch (const FileFormatError& e) {
    EXPECT_NE(std::string(e.what()).find("empty.IDC"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("too short"), std::string::npos);
  }
}

}  // namespace
}  // namespace varnel
