// The page header and the 24-bit float of the logger's memory pages.
#include <gtest/gtest.h>

#include <cstdint>

#include "sim/page_format.h"

namespace varnel::sim {
namespace {

TEST(PageFormat, HeaderFieldsAndValidity) {
  std::uint8_t page[64] = {};
  PutPageHeader({true, 2, 0x1ABC, 0x01020304}, page);
  EXPECT_EQ(page[0], 0x80 | 0x40 | 0x1A);
  EXPECT_EQ(page[1], 0xBC);
  EXPECT_EQ(page[2], 0x01);
  EXPECT_EQ(page[5], 0x04);
  const PageHeader h = GetPageHeader(page);
  EXPECT_TRUE(h.start);
  EXPECT_EQ(h.type, 2);
  EXPECT_EQ(h.link, 0x1ABC);
  EXPECT_TRUE(PageHeaderValid(h, 0x1ABC));
  EXPECT_FALSE(PageHeaderValid(h, 0x1ABD)) << "a first page must link to itself";
  EXPECT_FALSE(PageHeaderValid({false, 3, 5, 0}, 9)) << "type 3 is invalid";
  EXPECT_TRUE(PageHeaderValid({false, 1, 5, 0}, 9));
  EXPECT_EQ(Float24ToFloat(FloatTo24(1.0f)), 1.0f);
  EXPECT_EQ(Float24ToFloat({0x3F, 0x80, 0x00}), 1.0f);
}

}  // namespace
}  // namespace varnel::sim
