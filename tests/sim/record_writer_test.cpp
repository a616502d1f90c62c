// The generated logger memory, read the way the collector reads it: the backwards walk of
// the ring finds the records of the truth, and decoding their pages gives the truth entries.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "sim/logger_memory.h"
#include "sim/record_book.h"
#include "sim/record_writer.h"
#include "tests/sim/support/ring_reader.h"

namespace varnel::sim {
namespace {

using simtest::DecodePages;
using simtest::Entry;
using simtest::ScanRing;

struct Fixture {
  Fixture(std::uint64_t seed, FillSettings fill, MemoryLayout layout = {255, 4}, std::uint16_t mask = 0x0007)
      : memory(layout), book(layout.RingPages()), writer(memory, book, seed, mask) {
    error = FillMemory(memory, writer, seed, fill);
  }
  std::array<std::uint8_t, 6> Header(std::uint16_t p) const {
    std::array<std::uint8_t, 6> h;
    std::memcpy(h.data(), memory.Page(p), 6);
    return h;
  }
  std::vector<simtest::ScannedRecord> Scan() const {
    return ScanRing(memory.layout().LastRingPage(), memory.writePointer(),
                    [this](std::uint16_t p) { return Header(p); });
  }
  // The pages of a record in ring order, as the collector reads and then decodes them.
  std::vector<std::array<std::uint8_t, 64>> Pages(std::uint16_t first, std::uint16_t last) const {
    std::vector<std::array<std::uint8_t, 64>> pages;
    for (std::uint16_t p = first;; p = p == memory.layout().LastRingPage() ? 0 : p + 1) {
      std::array<std::uint8_t, 64> page;
      std::memcpy(page.data(), memory.Page(p), 64);
      pages.push_back(page);
      if (p == last) break;
    }
    return pages;
  }
  LoggerMemory memory;
  RecordBook book;
  RecordWriter writer;
  std::string error;
};

std::vector<Entry> TruthEntries(const RecordTruth& r) {
  std::vector<Entry> out;
  for (const DecodedEntry& e : r.DecodedEntries()) out.push_back({e.time, e.kind, e.value, e.extra});
  return out;
}

// The scan must find exactly the book's records, newest first, and every record's pages must
// decode to the entries the generator meant.
void ExpectReaderFindsTheBook(const Fixture& f) {
  const auto scanned = f.Scan();
  const auto& recs = f.book.records();
  ASSERT_EQ(scanned.size(), recs.size());
  for (std::size_t i = 0; i < scanned.size(); ++i) {
    const RecordTruth& truth = recs[recs.size() - 1 - i];
    SCOPED_TRACE("record " + std::to_string(i));
    EXPECT_EQ(scanned[i].firstPage, truth.FirstPage());
    EXPECT_EQ(scanned[i].lastPage, truth.LastPage());
    EXPECT_EQ(scanned[i].startTime, truth.VisibleStartTime());
    EXPECT_EQ(DecodePages(f.Pages(scanned[i].firstPage, scanned[i].lastPage)), TruthEntries(truth));
  }
}

TEST(RecordGenerator, FreshRingScansIntoTheRecordsOfTheTruth) {
  for (std::uint64_t seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fixture f(seed, {.records = 6, .wrapped = false, .maxPagesPerRecord = 30});
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.book.records().size(), 6u);
    EXPECT_FALSE(f.memory.RingFull());
    // A fresh memory is written from page 0 on; what lies beyond the write pointer is erased.
    EXPECT_EQ(f.book.records().front().FirstPage(), 0);
    EXPECT_EQ(f.memory.Page(f.memory.NextRingPage())[0], 0xFF);
    ExpectReaderFindsTheBook(f);
  }
}

TEST(RecordGenerator, WrappedRingLosesOnlyTheBeginningOfItsOldestRecord) {
  for (std::uint64_t seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Fixture f(seed, {.records = 5, .wrapped = true});
    ASSERT_EQ(f.error, "");
    EXPECT_TRUE(f.memory.RingFull());
    const auto& recs = f.book.records();
    ASSERT_EQ(recs.size(), 5u);
    const RecordTruth& oldest = recs.front();
    EXPECT_TRUE(oldest.lostPages);
    EXPECT_EQ(oldest.FirstPage(), f.memory.NextRingPage());  // the oldest page of the ring
    EXPECT_FALSE(f.memory.Page(oldest.FirstPage())[0] & 0x80) << "its start page is gone";
    EXPECT_GT(oldest.VisibleStartTime(), oldest.startTime);
    for (std::size_t i = 1; i < recs.size(); ++i) EXPECT_FALSE(recs[i].lostPages);
    std::size_t pages = 0;
    for (const auto& r : recs) pages += r.pages.size();
    EXPECT_EQ(pages, f.memory.layout().RingPages());
    ExpectReaderFindsTheBook(f);
  }
}

TEST(RecordGenerator, PagesHoldEveryKindOfEntry) {
  Fixture f(7, {.records = 12, .wrapped = false, .maxPagesPerRecord = 20}, {1023, 8}, 0x0017);
  ASSERT_EQ(f.error, "");
  std::set<int> channels;
  int jumps = 0, markers = 0, numberEvents = 0, events = 0, fullPages = 0, closedEarly = 0,
      emptyPages = 0, negative = 0;
  bool onePageRecord = false;
  for (const auto& r : f.book.records()) {
    onePageRecord |= r.pages.size() == 1;
    for (const auto& page : r.pages) {
      const std::uint8_t* p = f.memory.Page(page.page);
      std::size_t n = 0;
      while (n < 14 && p[8 + 4 * n] != 0xFF) {
        const std::uint8_t b = p[8 + 4 * n];
        if (b < 0xF0) channels.insert(b >> 4);
        jumps += b == 0xF0;
        markers += b >= 0xF1 && b <= 0xF3;
        numberEvents += b == 0xF4;
        events += b >= 0xF5 && b <= 0xFE;
        ++n;
      }
      fullPages += n == 14;
      closedEarly += n < 14;
      emptyPages += n == 0;
    }
    for (const auto& e : r.DecodedEntries()) negative += e.kind < 15 && e.value && *e.value < 0;
  }
  EXPECT_EQ(channels, (std::set<int>{0, 1, 2, 4}));
  EXPECT_GT(jumps, 0);
  EXPECT_GT(markers, 0);
  EXPECT_GT(numberEvents, 0);
  EXPECT_GT(events, 0);
  EXPECT_GT(fullPages, 0) << "samples must run over page ends";
  EXPECT_GT(closedEarly, 0) << "pages closed by an end mark";
  EXPECT_GT(emptyPages, 0) << "a page whose first entry is the end mark";
  EXPECT_GT(negative, 0) << "differential channels go below zero";
  EXPECT_TRUE(onePageRecord);
  ExpectReaderFindsTheBook(f);
}

TEST(RecordGenerator, EntriesAreInTimeOrderAndRecordsMonthsApart) {
  Fixture f(3, {.records = 8, .wrapped = false, .maxPagesPerRecord = 25, .firstStart = 700000000});
  ASSERT_EQ(f.error, "");
  std::uint32_t previousEnd = 0;
  for (const auto& r : f.book.records()) {
    EXPECT_GT(r.startTime, previousEnd);
    const auto entries = r.DecodedEntries();
    ASSERT_FALSE(entries.empty() && r.pages.size() > 1);
    // The run begins with a measurement at its start time, so every later entry has a value.
    if (!entries.empty()) {
      EXPECT_EQ(entries.front().time, r.startTime);
      EXPECT_LT(entries.front().kind, 15);
    }
    for (std::size_t i = 1; i < entries.size(); ++i) {
      EXPECT_GE(entries[i].time, entries[i - 1].time);
      EXPECT_TRUE(entries[i].value.has_value());
    }
    if (!entries.empty()) previousEnd = entries.back().time;
  }
  EXPECT_EQ(f.book.records().front().startTime, 700000000u);
  EXPECT_GT(f.book.records().back().startTime - f.book.records().front().startTime, 7u * 86400);
}

TEST(RecordGenerator, SameSeedSameMemoryAndOtherSeedOtherMemory) {
  const FillSettings fill{.records = 5, .wrapped = true};
  Fixture a(42, fill), b(42, fill), c(43, fill);
  EXPECT_EQ(a.memory.bytes(), b.memory.bytes());
  EXPECT_EQ(a.memory.writePointer(), b.memory.writePointer());
  EXPECT_NE(a.memory.bytes(), c.memory.bytes());
}

TEST(RecordGenerator, RecordingExtendsTheNewestRecordAndOverwritesTheOldest) {
  Fixture f(5, {.records = 4, .wrapped = true});
  ASSERT_EQ(f.error, "");
  const std::uint32_t newestId = f.book.records().back().id;
  const std::size_t oldestPages = f.book.records().front().pages.size();
  for (int i = 0; i < 3; ++i) {
    const std::uint16_t w = f.memory.NextRingPage();
    EXPECT_EQ(f.writer.WritePage(), w);
    EXPECT_EQ(f.memory.writePointer(), w);
    EXPECT_EQ(f.book.records().back().LastPage(), w);
    EXPECT_EQ(f.book.records().back().id, newestId);
  }
  if (oldestPages > 3) {
    EXPECT_EQ(f.book.records().front().pages.size(), oldestPages - 3);
  } else {
    EXPECT_EQ(f.book.records().size(), 3u) << "an oldest record overwritten entirely is gone";
  }
  ExpectReaderFindsTheBook(f);

  f.writer.StartRecord(f.writer.time() + 60);
  const std::uint16_t start = f.writer.WritePage();
  const PageHeader h = GetPageHeader(f.memory.Page(start));
  EXPECT_TRUE(h.start);
  EXPECT_EQ(h.link, start);
  EXPECT_TRUE(PageHeaderValid(h, start));
  f.writer.WritePage();
  ExpectReaderFindsTheBook(f);
}

TEST(RecordGenerator, EntriesFillTheNewestPageInPlaceThenOpenNewPages) {
  Fixture f(7, {.records = 3});
  ASSERT_EQ(f.error, "");
  int opened = 0;
  for (int i = 0; i < 40; ++i) {
    const std::uint16_t w = f.memory.writePointer();
    const auto header = f.Header(w);
    if (f.writer.AddEntries(1) == 0) {
      EXPECT_EQ(f.memory.writePointer(), w);
      EXPECT_EQ(f.Header(w), header);
    } else {
      ++opened;
      EXPECT_EQ(f.memory.writePointer(), w + 1);
    }
    ExpectReaderFindsTheBook(f);
  }
  EXPECT_GE(opened, 2);  // 14 entries fill a page
}

TEST(RecordGenerator, EmptyMemoryAndImpossibleFills) {
  Fixture empty(1, {.records = 0});
  EXPECT_EQ(empty.error, "");
  EXPECT_TRUE(empty.Scan().empty());
  EXPECT_EQ(empty.memory.writePointer(), empty.memory.layout().LastRingPage());

  MemoryLayout tiny{9, 2};  // a ring of 8 pages
  Fixture tooMany(1, {.records = 9}, tiny);
  EXPECT_NE(tooMany.error, "");
  Fixture tooManyWrapped(1, {.records = 5, .wrapped = true}, tiny);
  EXPECT_NE(tooManyWrapped.error, "");
  Fixture fits(1, {.records = 4, .wrapped = true}, tiny);
  EXPECT_EQ(fits.error, "");
  ExpectReaderFindsTheBook(fits);
}

}  // namespace
}  // namespace varnel::sim
