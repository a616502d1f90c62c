// The page cache file: what a readout leaves is what the next one finds, and a file that is
// damaged in any way is refused rather than trusted.
#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "device/device.h"
#include "device/page_cache.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

class PageCacheStore : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    folder_ = fs::temp_directory_path() / ("varnel-page-cache-" + std::to_string(stamp));
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // A device image after a readout: record 0 read in full (three pages), record 1 broken
  // off, record 2 not read.
  static void FillDevice(TDevice& d) {
    d.SerialNumber = 40123;
    d.SetMemoryLayout(0, 2047, 8);
    auto page = [](int no) {
      std::array<std::uint8_t, kPageSize> data{};
      data.fill(static_cast<std::uint8_t>(no));
      const std::uint32_t time = 1000u + static_cast<std::uint32_t>(no);
      data[0] = 0;
      data[1] = 100;  // link: page 100
      data[2] = 0;
      data[3] = 0;
      data[4] = static_cast<std::uint8_t>(time >> 8);
      data[5] = static_cast<std::uint8_t>(time);
      return std::make_unique<TPage>(static_cast<std::int16_t>(no), data.data(), 100, time);
    };
    auto full = std::make_unique<TRec>();
    full->Read = true;
    full->FirstPage = 100;
    full->LastPage = 102;
    full->StartTime = 7777;
    full->Origin = 102;
    for (int no = 102; no >= 100; --no) full->AddPage(page(no));
    d.AddRec(std::move(full));
    auto partial = std::make_unique<TRec>();
    partial->Partial = true;
    partial->AddPage(page(50));
    d.AddRec(std::move(partial));
    d.AddRec(std::make_unique<TRec>());
  }

  fs::path folder_;
};

TEST_F(PageCacheStore, KeepsTheCompleteRecordsExactlyAndRefusesEveryDamagedCopy) {
  TDevice d;
  FillDevice(d);
  const PageCache written = PageCacheOf(d);
  ASSERT_EQ(written.Records.size(), 1u);  // the broken-off and the unread record are left out
  const fs::path file = varnel::PageCacheFile(folder_ / "cache", d.SerialNumber);
  PageCache read;
  EXPECT_EQ(ReadPageCache(file, read), CacheRead::Missing);
  std::string error;
  ASSERT_TRUE(WritePageCache(file, written, error)) << error;  // creates the folder
  EXPECT_FALSE(fs::exists(fs::path(file) += ".tmp"));

  ASSERT_EQ(ReadPageCache(file, read), CacheRead::Loaded);
  EXPECT_TRUE(read.SameLogger(d));
  const CachedRecord* rec = read.Find(100, 7777);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(read.Find(100, 7778), nullptr);
  EXPECT_EQ(rec->LastPage, 102);
  EXPECT_EQ(rec->Origin, 102);
  ASSERT_EQ(rec->Pages.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    const TPage& want = *d.Rec(0)->Page(static_cast<int>(k));
    EXPECT_EQ(rec->Pages[k].PageNo, want.PageNo);
    EXPECT_EQ(rec->Pages[k].Link, want.Link);
    EXPECT_EQ(rec->Pages[k].Time, want.Time);
    EXPECT_EQ(rec->Pages[k].Data, want.Data);
  }
  d.SetMemoryLayout(0, 4095, 8);
  EXPECT_FALSE(read.SameLogger(d));

  // Every single flipped bit, and every cut, is found.
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> good{std::istreambuf_iterator<char>(in), {}};
  in.close();
  auto refused = [&](const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(),
                                                                  static_cast<std::streamsize>(bytes.size()));
    PageCache c;
    return ReadPageCache(file, c) == CacheRead::Damaged;
  };
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::vector<char> bad = good;
    bad[at] = static_cast<char>(bad[at] ^ (1 << (at % 8)));
    EXPECT_TRUE(refused(bad)) << "bit flipped at byte " << at;
    EXPECT_TRUE(refused(std::vector<char>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(at))))
        << "cut at " << at;
  }
  std::vector<char> longer = good;
  longer.push_back(0);
  EXPECT_TRUE(refused(longer));

  // A cache that cannot be written leaves the old file alone.
  EXPECT_FALSE(refused(good));
  fs::create_directories(fs::path(file) += ".tmp");  // the temporary name is taken
  EXPECT_FALSE(WritePageCache(file, PageCache{}, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadPageCache(file, read), CacheRead::Loaded);
  EXPECT_EQ(read.Records.size(), 1u);
}

}  // namespace
}  // namespace varnel
