// The device image: records with their pages, file names, memory layout, and the one
// flag that crosses threads.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <numeric>
#include <thread>

#include "device/device.h"

namespace varnel {
namespace {

std::unique_ptr<TRec> MakeRec(std::uint16_t first, std::uint16_t last) {
  auto rec = std::make_unique<TRec>();
  rec->FirstPage = first;
  rec->LastPage = last;
  return rec;
}

std::unique_ptr<TPage> MakePage(std::int16_t no, std::uint8_t fill) {
  std::array<std::uint8_t, kPageSize> data;
  data.fill(fill);
  return std::make_unique<TPage>(no, data.data(), no, 1000u + static_cast<std::uint32_t>(no));
}

// Freeing is checked by the sanitizer builds: a record that is lost or freed twice fails
// them.
class DeviceImage : public ::testing::Test {
 protected:
  TDevice dev;
};

TEST_F(DeviceImage, StartsEmptyWithStreamsAtTheirStart) {
  EXPECT_EQ(dev.RecCount(), 0);
  EXPECT_EQ(dev.FileCount(), 0);
  EXPECT_EQ(dev.CommentText.Size(), 0u);
  EXPECT_TRUE(dev.Cfx.NewCommentText.empty());
  EXPECT_FALSE(dev.OptionsReady.load());
}

TEST_F(DeviceImage, RecordsKeepTheirOrderAndIndices) {
  EXPECT_EQ(dev.AddRec(MakeRec(10, 20)), 0);
  EXPECT_EQ(dev.AddRec(MakeRec(0, 9)), 1);
  EXPECT_EQ(dev.AddRec(MakeRec(30, 40)), 2);
  ASSERT_EQ(dev.RecCount(), 3);
  EXPECT_EQ(dev.Rec(0)->FirstPage, 10);
  EXPECT_EQ(dev.Rec(1)->FirstPage, 0);
  EXPECT_EQ(dev.Rec(2)->LastPage, 40);
}

TEST_F(DeviceImage, RecOutsideTheListIsNone) {
  EXPECT_EQ(dev.Rec(0), nullptr);
  dev.AddRec(MakeRec(1, 2));
  dev.AddRec(MakeRec(3, 4));
  EXPECT_EQ(dev.Rec(-1), nullptr);
  EXPECT_EQ(dev.Rec(dev.RecCount()), nullptr);
  EXPECT_EQ(dev.Rec(65535), nullptr);
  EXPECT_NE(dev.Rec(dev.RecCount() - 1), nullptr);
}

TEST_F(DeviceImage, DeleteRecRemovesExactlyThatRecord) {
  for (std::uint16_t i = 0; i < 4; ++i) dev.AddRec(MakeRec(i, i));
  dev.Rec(2)->AddPage(MakePage(2, 0xAA));
  dev.DeleteRec(2);
  ASSERT_EQ(dev.RecCount(), 3);
  EXPECT_EQ(dev.Rec(0)->FirstPage, 0);
  EXPECT_EQ(dev.Rec(1)->FirstPage, 1);
  EXPECT_EQ(dev.Rec(2)->FirstPage, 3);
}

TEST_F(DeviceImage, DeleteRecOutOfRangeChangesNothing) {
  dev.AddRec(MakeRec(1, 1));
  dev.AddRec(MakeRec(2, 2));
  // 65536 would be entry 0 if the index were cut to 16 bits.
  for (int i : {-1, 2, 3, 65535, 65536, -65536}) dev.DeleteRec(i);
  ASSERT_EQ(dev.RecCount(), 2);
  EXPECT_EQ(dev.Rec(0)->FirstPage, 1);
  EXPECT_EQ(dev.Rec(1)->FirstPage, 2);
}

TEST_F(DeviceImage, ClearRecsEmptiesTheListAndLeavesItUsable) {
  for (std::uint16_t i = 0; i < 5; ++i) {
    dev.AddRec(MakeRec(i, i));
    dev.Rec(i)->AddPage(MakePage(static_cast<std::int16_t>(i), 1));
  }
  dev.ClearRecs();
  EXPECT_EQ(dev.RecCount(), 0);
  EXPECT_EQ(dev.Rec(0), nullptr);
  dev.ClearRecs();  // clearing an empty list is harmless
  EXPECT_EQ(dev.AddRec(MakeRec(7, 8)), 0);
  EXPECT_EQ(dev.Rec(0)->FirstPage, 7);
}

TEST_F(DeviceImage, FileNamesFollowTheSamePattern) {
  EXPECT_EQ(dev.AddFile("/data/1234/1234_1.idc"), 0);
  EXPECT_EQ(dev.AddFile("/data/1234/1234_2.idc"), 1);
  ASSERT_EQ(dev.FileCount(), 2);
  EXPECT_EQ(dev.FileName(1)->Name, "/data/1234/1234_2.idc");
  EXPECT_EQ(dev.FileName(-1), nullptr);
  EXPECT_EQ(dev.FileName(2), nullptr);
  dev.ClearFiles();
  EXPECT_EQ(dev.FileCount(), 0);
  EXPECT_EQ(dev.FileName(0), nullptr);
}

TEST_F(DeviceImage, MemoryLayoutDerivesRingIdentityAndCommentPages) {
  dev.SetMemoryLayout(0, 2047, 9);
  EXPECT_EQ(dev.FirstPage, 0);
  EXPECT_EQ(dev.LastPage, 2047);
  EXPECT_EQ(dev.ReservedPages, 9);
  EXPECT_EQ(dev.LastRingPage, 2038);
  EXPECT_EQ(dev.IdPage, 2039);
  EXPECT_EQ(dev.CommentPage, 2040);
}

TEST_F(DeviceImage, OptionsWrittenBeforeTheFlagAreSeenByTheWaitingWorker) {
  // The worker polls the flag; the main thread fills the options, then sets it.
  bool seenReadActual = false;
  std::uint16_t seenYear = 0;
  std::thread worker([&] {
    while (!dev.OptionsReady.load()) std::this_thread::yield();
    seenReadActual = dev.ReadActualRec;
    seenYear = dev.ReadFromYear;
  });
  dev.ReadActualRec = true;
  dev.ReadFromYear = 2024;
  dev.OptionsReady.store(true);
  worker.join();
  EXPECT_TRUE(seenReadActual);
  EXPECT_EQ(seenYear, 2024);
}

TEST(Record, PagesAreOwnedAndAddressedByIndex) {
  TRec rec;
  EXPECT_EQ(rec.AddPage(MakePage(10, 1)), 0);
  EXPECT_EQ(rec.AddPage(MakePage(11, 2)), 1);
  EXPECT_EQ(rec.AddPage(MakePage(12, 3)), 2);
  EXPECT_EQ(rec.Page(-1), nullptr);
  EXPECT_EQ(rec.Page(3), nullptr);
  rec.DeletePage(1);
  rec.DeletePage(3);
  rec.DeletePage(-1);
  ASSERT_EQ(rec.PageCount(), 2);
  EXPECT_EQ(rec.Page(0)->PageNo, 10);
  EXPECT_EQ(rec.Page(1)->PageNo, 12);
  rec.ClearPages();
  EXPECT_EQ(rec.PageCount(), 0);
  EXPECT_EQ(rec.Page(0), nullptr);
}

TEST(Page, CopiesExactly64BytesAndKeepsHeaderFields) {
  // A buffer larger than a page: only the first 64 bytes may be taken, and later changes
  // to the buffer must not reach the page.
  std::array<std::uint8_t, 80> buffer;
  std::iota(buffer.begin(), buffer.end(), std::uint8_t{0});
  TPage page(42, buffer.data(), 40, 0x01020304u);
  buffer.fill(0xEE);
  EXPECT_EQ(page.PageNo, 42);
  EXPECT_EQ(page.Link, 40);
  EXPECT_EQ(page.Time, 0x01020304u);
  ASSERT_EQ(page.Data.size(), 64u);
  for (std::size_t i = 0; i < page.Data.size(); ++i) EXPECT_EQ(page.Data[i], i);
}

}  // namespace
}  // namespace varnel
