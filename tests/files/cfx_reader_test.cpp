// Reading configuration files: head checks, texts, fields, versions, ZeroByMeasure, and
// files that end early.
#include <gtest/gtest.h>

#include "files/cfx_format.h"
#include "files/cfx_reader.h"
#include "files/cfx_writer.h"
#include "files/file_error.h"
#include "files_test_util.h"

namespace varnel {
namespace {

using test::FloatFromBytes;
using test::TempDir;

CfxContent SampleContent() {
  CfxContent c;
  c.Address = 17;
  c.CfxSpare = 0xA5;
  c.NewCfg1 = 1;
  c.NewCfg4 = 0x01020304;
  c.NewCfg9 = 0x12345678;
  c.NewCfg6A = 0x1111;
  c.NewCfg6B = 0x2222;
  c.NewCfg6C = 0x33;
  c.NewCfg7B = 0x44;
  c.NewCfg7A = 0x5555;
  c.NewFloat96 = 9.5f;
  c.NewFloat97 = -9.75f;
  c.NewFloats100 = {100.0f, 101.0f, 102.0f, 103.0f, 104.0f, 105.0f, 106.0f};
  c.NewCfg8 = 0x6666;
  c.ZeroChannelSel = 0x0001;
  c.NewIdText = "Pump 7";
  c.NewCommentText = "Installed\r\n2024";
  return c;
}

// A prepared device image: values that a file must overwrite or keep.
CfxContent Before() {
  CfxContent c;
  c.Address = 250;
  c.NewCfg9 = 0xABCD0000;
  c.NewIdText = "old id";
  c.NewCommentText = "old comment";
  c.ZeroByMeasure = true;
  return c;
}

bool Read(const std::vector<std::uint8_t>& data, CfxContent& c, int& kind, bool headerOnly = false) {
  return ReadConfigData(c, data, headerOnly, kind);
}

TEST(CfxReader, FullRoundTripOfVersion217) {
  const CfxContent in = SampleContent();
  CfxContent out = Before();
  int kind = -1;
  ASSERT_TRUE(Read(BuildConfigData(in, {"WRITER_WL", " 2.17"}), out, kind));
  EXPECT_EQ(kind, kCfxKindWl);
  CfxContent expected = in;
  expected.ZeroByMeasure = true;  // float 101 = 101.0 leaves it as it was
  EXPECT_EQ(out, expected);
}

TEST(CfxReader, ExactByteLayout) {
  // Written by hand, field by field, as the configuration program writes it.
  std::vector<std::uint8_t> d;
  auto put = [&](std::initializer_list<int> bytes) {
    for (int b : bytes) d.push_back(static_cast<std::uint8_t>(b));
  };
  for (char ch : std::string("WRITER_ST 2.16")) d.push_back(static_cast<std::uint8_t>(ch));
  put({2, 0, 'h', 'i'});               // comment
  put({1, 0, 'X'});                    // identity
  put({9, 0x77});                      // address, spare
  put({0x04, 0x03, 0x02, 0x01});       // NewCfg4
  put({0x02, 0x00});                   // ZeroChannelSel
  put({0x08, 0x80});                   // NewCfg8
  put({0x7A, 0x07});                   // NewCfg7A
  put({0x7B});                         // NewCfg7B
  put({0x00, 0x00, 0x80, 0x3F});       // 1.0
  put({0x00, 0x00, 0x00, 0x40});       // 2.0
  put({0x99, 0x09});                   // low half of NewCfg9
  put({0x6A, 0x06, 0x6B, 0x06, 0x6C}); // NewCfg6A, 6B, 6C
  put({0x01});                         // NewCfg1
  for (int i = 0; i < 7; ++i) put({0x00, 0x00, 0x40, 0x40});  // 3.0
  CfxContent c = Before();
  int kind = -1;
  ASSERT_TRUE(Read(d, c, kind));
  EXPECT_EQ(kind, kCfxKindSt);
  EXPECT_EQ(c.NewCommentText, "hi");
  EXPECT_EQ(c.NewIdText, "X");
  EXPECT_EQ(c.Address, 9);
  EXPECT_EQ(c.CfxSpare, 0x77);
  EXPECT_EQ(c.NewCfg4, 0x01020304u);
  EXPECT_EQ(c.ZeroChannelSel, 2);
  EXPECT_EQ(c.NewCfg8, 0x8008);
  EXPECT_EQ(c.NewCfg7A, 0x077A);
  EXPECT_EQ(c.NewCfg7B, 0x7B);
  EXPECT_EQ(c.NewFloat96, 1.0f);
  EXPECT_EQ(c.NewFloat97, 2.0f);
  EXPECT_EQ(c.NewCfg9, 0xABCD0999u);  // version 2.16: the high half stays
  EXPECT_EQ(c.NewCfg6A, 0x066A);
  EXPECT_EQ(c.NewCfg6B, 0x066B);
  EXPECT_EQ(c.NewCfg6C, 0x6C);
  EXPECT_EQ(c.NewCfg1, 1);
  for (float f : c.NewFloats100) EXPECT_EQ(f, 3.0f);
}

TEST(CfxReader, MarkIgnoresCaseOfLettersOnly) {
  const CfxContent in = SampleContent();
  for (const char* mark : {"writer_wl", "Writer_Wl", "WRITER_wl"}) {
    CfxContent c;
    int kind = -1;
    EXPECT_TRUE(Read(BuildConfigData(in, {mark, " 2.17"}), c, kind)) << mark;
    EXPECT_EQ(kind, kCfxKindWl) << mark;
  }
  for (const char* mark : {"WRITER_XX", "WRITER-ST", "WRITER_S ", "READER_ST"}) {
    CfxContent c = Before();
    int kind = 7;
    EXPECT_FALSE(Read(BuildConfigData(in, {mark, " 2.17"}), c, kind)) << mark;
    EXPECT_EQ(kind, 7) << "kind set for " << mark;
    EXPECT_EQ(c, Before()) << mark;
  }
}

TEST(CfxReader, VersionsDecideAcceptanceAndTheLastField) {
  const CfxContent in = SampleContent();
  {
    CfxContent c = Before();
    int kind = -1;
    EXPECT_FALSE(Read(BuildConfigData(in, {"WRITER_WL", " 2.00"}), c, kind));
    EXPECT_EQ(kind, kCfxKindWl);  // the mark was recognised before the version was refused
    EXPECT_EQ(c, Before());
  }
  for (const char* v : {" 1.99", " 0.00", "  abc", "     ", " -2.5", " 2e05", " inf ", "2..17"}) {
    CfxContent c = Before();
    int kind = -1;
    EXPECT_FALSE(Read(BuildConfigData(in, {"WRITER_ST", v}), c, kind)) << v;
    EXPECT_EQ(c, Before()) << v;
  }
  {
    CfxContent c = Before();
    int kind = -1;
    EXPECT_TRUE(Read(BuildConfigData(in, {"WRITER_ST", " 2.01"}), c, kind));
    EXPECT_EQ(c.NewCfg9, 0xABCD5678u);
  }
  {
    // 2.16: no final entry in the file, and trailing bytes would not be taken either.
    auto data = BuildConfigData(in, {"WRITER_ST", " 2.16"});
    data.insert(data.end(), {0xEF, 0xBE, 0xAD, 0xDE});
    CfxContent c = Before();
    int kind = -1;
    EXPECT_TRUE(Read(data, c, kind));
    EXPECT_EQ(c.NewCfg9, 0xABCD5678u);
  }
  for (const char* v : {" 2.17", " 2.20", "2.17 ", " 2,17", "10.00"}) {
    CfxContent c = Before();
    int kind = -1;
    EXPECT_TRUE(Read(BuildConfigData(in, {"WRITER_ST", v}), c, kind)) << v;
    EXPECT_EQ(c.NewCfg9, 0x12345678u) << v;
  }
}

TEST(CfxReader, VersionValue) {
  EXPECT_DOUBLE_EQ(CfxVersionValue(" 2.17"), 2.17);
  EXPECT_DOUBLE_EQ(CfxVersionValue("2,5  "), 2.5);
  EXPECT_DOUBLE_EQ(CfxVersionValue("    3"), 3.0);
  EXPECT_EQ(CfxVersionValue(" +2.1"), 0.0);
  EXPECT_EQ(CfxVersionValue(" 2.1x"), 0.0);
  EXPECT_EQ(CfxVersionValue(" 2 .1"), 0.0);
  EXPECT_EQ(CfxVersionValue("  .  "), 0.0);
}

// Builds a file whose comment and identity fields are given as raw bytes.
std::vector<std::uint8_t> RawTexts(std::initializer_list<int> texts) {
  std::vector<std::uint8_t> d;
  for (char ch : std::string("WRITER_ST 2.17")) d.push_back(static_cast<std::uint8_t>(ch));
  for (int b : texts) d.push_back(static_cast<std::uint8_t>(b));
  d.push_back(42);    // address
  d.push_back(0x5A);  // spare
  return d;
}

TEST(CfxReader, CommentAndIdentityLengths) {
  int kind = -1;
  {
    CfxContent c = Before();
    ASSERT_TRUE(Read(RawTexts({0, 0, 2, 0, 'I', 'D'}), c, kind, true));
    EXPECT_EQ(c.NewCommentText, "");  // emptied, not left as before
    EXPECT_EQ(c.NewIdText, "ID");
    EXPECT_EQ(c.Address, 42);
  }
  {
    // A negative length counts as 0: the identity length follows at once.
    CfxContent c = Before();
    ASSERT_TRUE(Read(RawTexts({0xFB, 0xFF, 1, 0, 'Z'}), c, kind, true));
    EXPECT_EQ(c.NewCommentText, "");
    EXPECT_EQ(c.NewIdText, "Z");
    ASSERT_TRUE(Read(RawTexts({0x00, 0x80, 0xFF, 0xFF}), c, kind, true));  // -32768, -1
    EXPECT_EQ(c.NewIdText, "");
    EXPECT_EQ(c.CfxSpare, 0x5A);
  }
  {
    // 0xFF ends a text early, and the next field follows the 0xFF.
    CfxContent c = Before();
    ASSERT_TRUE(Read(RawTexts({10, 0, 'a', 'b', 0xFF, 3, 0, 'x', 'y', 'z'}), c, kind, true));
    EXPECT_EQ(c.NewCommentText, "ab");
    EXPECT_EQ(c.NewIdText, "xyz");
    EXPECT_EQ(c.Address, 42);
  }
  {
    CfxContent c = Before();
    ASSERT_TRUE(Read(RawTexts({1, 0, 'c', 5, 0, 'q', 0xFF}), c, kind, true));
    EXPECT_EQ(c.NewIdText, "q");
  }
}

TEST(CfxReader, IdentityOf70BytesKeepsFirst64) {
  CfxContent in = SampleContent();
  std::string id;
  for (int i = 0; i < 70; ++i) id += static_cast<char>('0' + i % 43);
  in.NewIdText = id;
  CfxContent c = Before();
  int kind = -1;
  ASSERT_TRUE(Read(BuildConfigData(in), c, kind));
  EXPECT_EQ(c.NewIdText, id.substr(0, 64));
  // All 70 bytes were read: the fields after it are in place.
  EXPECT_EQ(c.Address, in.Address);
  EXPECT_EQ(c.NewFloats100, in.NewFloats100);
  EXPECT_EQ(c.NewCfg9, in.NewCfg9);
}

TEST(CfxReader, ZeroByMeasureFromFloat101) {
  struct Case {
    float f101;
    bool before;
    bool after;
  };
  const Case cases[] = {
      {FloatFromBytes(0x00, 0x01, 0x01, 0x7F), false, true},
      {FloatFromBytes(0x00, 0x02, 0x01, 0x00), false, true},
      {FloatFromBytes(0x00, 0x02, 0x00, 0x33), true, false},
      {FloatFromBytes(0x00, 0x01, 0x02, 0x00), true, false},
      {1.0f, true, true},  // 3F 80 00 00 leaves it
      {1.0f, false, false},
      {FloatFromBytes(0x00, 0x03, 0x01, 0x00), false, false},
      {FloatFromBytes(0x01, 0x01, 0x01, 0x00), false, false},
  };
  for (const Case& k : cases) {
    CfxContent in = SampleContent();
    in.NewFloats100[1] = k.f101;
    CfxContent c;
    c.ZeroByMeasure = k.before;
    int kind = -1;
    ASSERT_TRUE(Read(BuildConfigData(in), c, kind));
    EXPECT_EQ(c.ZeroByMeasure, k.after) << k.f101 << " from " << k.before;
    // Header-only reading never touches it.
    CfxContent h;
    h.ZeroByMeasure = k.before;
    ASSERT_TRUE(Read(BuildConfigData(in), h, kind, true));
    EXPECT_EQ(h.ZeroByMeasure, k.before);
  }
}

TEST(CfxReader, HeaderOnlyStopsAfterTheSpareByte) {
  const CfxContent in = SampleContent();
  auto data = BuildConfigData(in, {"WRITER_WL", " 2.17"});
  // Cut right after the spare byte: header mode needs nothing more.
  const std::size_t headerEnd = 14 + 2 + in.NewCommentText.size() + 2 + in.NewIdText.size() + 2;
  data.resize(headerEnd);
  CfxContent c = Before();
  int kind = -1;
  ASSERT_TRUE(Read(data, c, kind, true));
  EXPECT_EQ(kind, kCfxKindWl);
  CfxContent expected = Before();
  expected.NewCommentText = in.NewCommentText;
  expected.NewIdText = in.NewIdText;
  expected.Address = in.Address;
  expected.CfxSpare = in.CfxSpare;
  EXPECT_EQ(c, expected);
}

TEST(CfxReader, FileEndingAnywhereAfterTheHeadIsAnError) {
  const CfxContent in = SampleContent();
  const auto data = BuildConfigData(in, {"WRITER_WL", " 2.17"});
  const std::size_t headerEnd = 14 + 2 + in.NewCommentText.size() + 2 + in.NewIdText.size() + 2;
  for (std::size_t n = 0; n < data.size(); ++n) {
    const std::vector<std::uint8_t> cut(data.begin(), data.begin() + static_cast<long>(n));
    for (bool headerOnly : {false, true}) {
      CfxContent c = Before();
      int kind = -1;
      if (n < kCfxHeadSize) {
        EXPECT_FALSE(Read(cut, c, kind, headerOnly)) << n;
        EXPECT_EQ(c, Before());
      } else if (headerOnly && n >= headerEnd) {
        EXPECT_TRUE(Read(cut, c, kind, headerOnly)) << n;
      } else {
        try {
          Read(cut, c, kind, headerOnly);
          ADD_FAILURE() << "accepted a file cut at " << n;
        } catch (const FileFormatError& e) {
          // The fault is named at the start of the field that did not fit.
          EXPECT_LE(e.Offset(), n) << e.what();
          EXPECT_GT(e.Offset() + 4, n) << e.what();
        }
      }
    }
  }
}

TEST(CfxReader, FieldsReadBeforeTheEndStay) {
  const CfxContent in = SampleContent();
  auto data = BuildConfigData(in, {"WRITER_WL", " 2.17"});
  data.resize(data.size() - 10);  // inside the floats 100 ... 106
  CfxContent c = Before();
  int kind = -1;
  EXPECT_THROW(Read(data, c, kind), FileFormatError);
  EXPECT_EQ(c.Address, in.Address);
  EXPECT_EQ(c.NewCfg4, in.NewCfg4);
  EXPECT_EQ(c.NewCfg1, in.NewCfg1);
  EXPECT_EQ(c.NewFloats100[4], in.NewFloats100[4]);
  EXPECT_EQ(c.NewFloats100[6], 0.0f);  // not reached
  EXPECT_EQ(c.NewCfg9, 0xABCD5678u);   // only the low half so far
}

TEST(CfxReader, FromFiles) {
  TempDir dir;
  const CfxContent in = SampleContent();
  WriteConfigFile(dir / "a.cfx", in, {"writer_wl", " 2.17"});
  CfxContent c;
  int kind = -1;
  ASSERT_TRUE(ReadConfigFile(c, dir / "a.cfx", false, kind));
  EXPECT_EQ(kind, kCfxKindWl);
  EXPECT_EQ(c.NewCfg9, in.NewCfg9);
  EXPECT_EQ(c.Address, in.Address);

  EXPECT_FALSE(ReadConfigFile(c, dir / "missing.cfx", false, kind));
  EXPECT_FALSE(ReadConfigFile(c, dir.Path(), false, kind));
  test::WriteBytes(dir / "short.cfx", {'W', 'R', 'I'});
  EXPECT_FALSE(ReadConfigFile(c, dir / "short.cfx", false, kind));

  auto data = BuildConfigData(in);
  data.resize(20);
  test::WriteBytes(dir / "cut.cfx", data);
  try {
    ReadConfigFile(c, dir / "cut.cfx", false, kind);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("cut.cfx"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("at offset 20"), std::string::npos) << e.what();
  }

  // A large file that happens to begin like a configuration file costs no more than one.
  auto big = BuildConfigData(in);
  big.resize(kCfxMaxFileSize * 3, 0xEE);
  test::WriteBytes(dir / "big.cfx", big);
  CfxContent b;
  EXPECT_TRUE(ReadConfigFile(b, dir / "big.cfx", false, kind));
  EXPECT_EQ(b.NewCfg9, in.NewCfg9);
}

TEST(CfxWriter, RefusesWhatTheLayoutCannotHold) {
  const CfxContent in = SampleContent();
  EXPECT_THROW(BuildConfigData(in, {"WRITER", " 2.17"}), std::invalid_argument);
  EXPECT_THROW(BuildConfigData(in, {"WRITER_WL", "2.17"}), std::invalid_argument);
  CfxContent longText = in;
  longText.NewCommentText.assign(32768, 'c');
  EXPECT_THROW(BuildConfigData(longText), std::invalid_argument);
  longText.NewCommentText.assign(32767, 'c');
  CfxContent c;
  int kind = -1;
  EXPECT_TRUE(Read(BuildConfigData(longText), c, kind));
  EXPECT_EQ(c.NewCommentText.size(), 32767u);
  TempDir dir;
  EXPECT_THROW(WriteConfigFile(dir / "no" / "x.cfx", in), FileError);
}

}  // namespace
}  // namespace varnel
