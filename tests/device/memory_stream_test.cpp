// The byte stream that carries comment texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "device/memory_stream.h"

namespace varnel {
namespace {

TEST(MemoryStream, WritesAppendAndReadsComeBackInOrder) {
  TMemoryStream s;
  s.WriteText("Well 7");
  s.WriteByte(13);
  s.WriteByte(10);
  EXPECT_EQ(s.Size(), 8u);
  EXPECT_EQ(s.Position(), 8u);
  s.Seek(0);
  std::string back;
  std::uint8_t b;
  while (s.ReadByte(b)) back += static_cast<char>(b);
  EXPECT_EQ(back, "Well 7\r\n");
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(MemoryStream, ReadStopsAtTheEnd) {
  TMemoryStream s;
  s.WriteText("abc");
  s.Seek(1);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, sizeof buf), 2u);
  EXPECT_EQ(std::string(buf, 2), "bc");
  EXPECT_EQ(s.Read(buf, sizeof buf), 0u);
  std::uint8_t b = 0x55;
  EXPECT_FALSE(s.ReadByte(b));
  EXPECT_EQ(b, 0x55);
}

TEST(MemoryStream, WriteInsideOverwritesThenGrows) {
  TMemoryStream s;
  s.WriteText("abcdef");
  s.Seek(4);
  s.WriteText("XYZ");
  EXPECT_EQ(s.Text(), "abcdXYZ");
  s.Seek(1);
  s.WriteByte('-');
  EXPECT_EQ(s.Text(), "a-cdXYZ");
  EXPECT_EQ(s.Position(), 2u);
}

TEST(MemoryStream, SeekPastTheEndIsClamped) {
  TMemoryStream s;
  s.WriteText("ab");
  s.Seek(100);
  EXPECT_EQ(s.Position(), 2u);
  s.WriteByte(0xFF);
  EXPECT_EQ(s.Size(), 3u);  // no gap of undefined bytes
}

TEST(MemoryStream, ClearEmptiesAndRewinds) {
  TMemoryStream s;
  s.WriteText("comment");
  s.Clear();
  EXPECT_EQ(s.Size(), 0u);
  EXPECT_EQ(s.Position(), 0u);
  EXPECT_EQ(s.Text(), "");
  s.WriteText("x");
  EXPECT_EQ(s.Text(), "x");
}

}  // namespace
}  // namespace varnel
