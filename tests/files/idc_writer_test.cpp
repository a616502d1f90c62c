// The block writer: headers, length words, check sum, and what a failure leaves on disk.
#include <gtest/gtest.h>

#include <random>

#include "files/file_error.h"
#include "files/idc_checksum.h"
#include "files/idc_reader.h"
#include "files/idc_writer.h"
#include "files_test_util.h"
#include "link/crc16.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace varnel {
namespace {

using test::ReadBytes;
using test::TempDir;

TEST(IdcChecksum, SameAsTheBusCrcOverAnySplit) {
  const char* digits = "123456789";
  EXPECT_EQ(IdcChecksum(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x4B37);

  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(5000);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  const std::uint16_t whole = Crc16(data.data(), data.size());
  EXPECT_EQ(IdcChecksum(data.data(), data.size()), whole);
  // Fed in pieces, as the writer feeds it block by block.
  const std::uint16_t first = IdcChecksum(data.data(), 1234);
  EXPECT_EQ(IdcChecksum(data.data() + 1234, data.size() - 1234, first), whole);
}

TEST(DataFileWriter, BlockHeaderAndChecksumBytes) {
  TempDir dir;
  TDataFile f;
  f.Create(dir / "a.idc");
  f.BeginBlock(0x0102);
  f.PutU8(0xAA);
  f.PutU16(0x1234);
  f.PutU32(0x89ABCDEF);
  f.PutI32(-2);
  f.PutF32(1.0f);
  f.PutString("xy");
  f.EndBlock();
  f.Finish();

  const auto b = ReadBytes(dir / "a.idc");
  const std::vector<std::uint8_t> expected = {
      0x02, 0x01,              // id, low byte first
      0x00, 0x00, 0x13, 0x00,  // length 19: high word, then low word
      0xAA, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF, 0xFF,
      0x00, 0x00, 0x80, 0x3F, 0x02, 0x00, 'x',  'y'};
  ASSERT_EQ(b.size(), expected.size() + 2);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin()));
  const std::uint16_t crc = Crc16(expected.data(), expected.size());
  EXPECT_EQ(b[b.size() - 2], crc & 0xFF);  // little-endian
  EXPECT_EQ(b[b.size() - 1], crc >> 8);
}

TEST(DataFileWriter, LengthAbove64KSplitsHighWordFirst) {
  TempDir dir;
  TDataFile f;
  f.Create(dir / "big.idc");
  f.BeginBlock(2);
  const std::vector<std::uint8_t> payload(0x12345, 0x5A);
  f.PutBytes(payload.data(), payload.size());
  f.EndBlock();
  f.Finish();
  const auto b = ReadBytes(dir / "big.idc");
  ASSERT_EQ(b.size(), 6 + payload.size() + 2);
  EXPECT_EQ(b[2], 0x01);  // high word 0x0001
  EXPECT_EQ(b[3], 0x00);
  EXPECT_EQ(b[4], 0x45);  // low word 0x2345
  EXPECT_EQ(b[5], 0x23);
  EXPECT_EQ(test::U16At(b, b.size() - 2), Crc16(b.data(), b.size() - 2));
}

TEST(DataFileWriter, Record24And60Layout) {
  TempDir dir;
  TDataFile f;
  f.Create(dir / "r.idc");
  f.BeginBlock(9);
  f.PutRecord24({12345.5, 16, -0.5f, 0xABCDEF});
  f.PutRecord60({7, "abcdefgh", 2.0f, -1.0f, 3});  // a unit never takes more than 6 bytes
  EXPECT_EQ(f.BlockSize(), 84u);
  f.EndBlock();
  f.Finish();
  const auto b = ReadBytes(dir / "r.idc");
  const std::size_t r = 6;
  EXPECT_EQ(test::F64At(b, r), 12345.5);
  EXPECT_EQ(b[r + 8], 16);
  EXPECT_EQ(b[r + 9] | b[r + 10] | b[r + 11], 0);
  EXPECT_EQ(test::F32At(b, r + 12), -0.5f);
  EXPECT_EQ(test::U32At(b, r + 16), 0xABCDEFu);
  EXPECT_EQ(test::U32At(b, r + 20), 0u);
  const std::size_t c = r + 24;
  EXPECT_EQ(b[c], 7);
  EXPECT_EQ(b[c + 1], 6);
  EXPECT_EQ(std::string(b.begin() + c + 2, b.begin() + c + 8), "abcdef");
  EXPECT_EQ(test::F32At(b, c + 8), 2.0f);
  EXPECT_EQ(test::F32At(b, c + 12), -1.0f);
  EXPECT_EQ(b[c + 16], 3);
}

TEST(DataFileWriter, MisuseIsAnErrorNotACrash) {
  TempDir dir;
  TDataFile f;
  EXPECT_THROW(f.BeginBlock(0), FileError);  // nothing open
  f.Create(dir / "m.idc");
  EXPECT_THROW(f.PutU8(1), FileError);  // no block begun
  EXPECT_THROW(f.EndBlock(), FileError);
  f.BeginBlock(0);
  EXPECT_THROW(f.Finish(), FileError);  // block not ended
  EXPECT_THROW(f.PutString(std::string(70000, 'x')), FileError);
}

TEST(DataFileWriter, CreateFailsOnEmptyNameAndMissingFolder) {
  TempDir dir;
  TDataFile f;
  EXPECT_THROW(f.Create(""), FileError);
  try {
    f.Create(dir / "no-such-folder" / "x.IDC");
    FAIL() << "created a file in a missing folder";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-folder"), std::string::npos);
  }
  EXPECT_FALSE(f.IsOpen());
}

TEST(DataFileWriter, CreateReplacesAnExistingFile) {
  TempDir dir;
  test::WriteBytes(dir / "old.idc", std::vector<std::uint8_t>(1000, 0xEE));
  TDataFile f;
  f.Create(dir / "old.idc");
  f.BeginBlock(1);
  f.PutU8(5);
  f.EndBlock();
  f.Finish();
  EXPECT_EQ(ReadBytes(dir / "old.idc").size(), 6u + 1u + 2u);
}

TEST(DataFileWriter, StoppedBetweenBlocksLeavesCompleteBlocksWithoutChecksum) {
  TempDir dir;
  {
    TDataFile f;
    f.Create(dir / "stop.idc");
    f.BeginBlock(0);
    f.PutString(test::WriterTag());
    f.EndBlock();
    f.BeginBlock(1);
    f.PutU32(42);  // gathered, but the worker stops before EndBlock
  }
  const auto b = ReadBytes(dir / "stop.idc");
  EXPECT_EQ(b.size(), 22u);
  try {
    ParseIdc(b);
    FAIL() << "an unfinished file was accepted";
  } catch (const FileFormatError& e) {
    EXPECT_NE(std::string(e.what()).find("not finished"), std::string::npos) << e.what();
  }
}

#ifndef _WIN32
TEST(DataFileWriter, FullDiskIsReportedAsError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TDataFile f;
  f.Create("/dev/full");
  f.BeginBlock(0);
  f.PutString(test::WriterTag());
  EXPECT_THROW(f.EndBlock(), FileError);
  EXPECT_FALSE(f.IsOpen());
}

// A write that fails half-way (here: the file size limit of the process, which behaves
// like a disk that fills up) must not leave a partial block behind, and never a check sum.
TEST(DataFileWriter, FailedWriteCutsBackToLastCompleteBlock) {
  TempDir dir;
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  if (old.rlim_max != RLIM_INFINITY && old.rlim_max < 4096) GTEST_SKIP();
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

  TDataFile f;
  bool threw = false;
  try {
    f.Create(dir / "cut.idc");
    f.BeginBlock(0);
    f.PutString(test::WriterTag());
    f.EndBlock();
    f.BeginBlock(2);
    const std::vector<std::uint8_t> big(10000, 1);
    f.PutBytes(big.data(), big.size());
    f.EndBlock();
  } catch (const FileError&) {
    threw = true;
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(threw);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(std::filesystem::file_size(dir / "cut.idc"), 22u);
}
#endif

}  // namespace
}  // namespace varnel
