#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/page_format.h"

namespace varnel::sim {

// One entry as the generator encoded it into a page.
struct EntryTruth {
  std::uint32_t time = 0;    // device seconds
  std::uint8_t kind = 0;     // 0..14 channel, 15 event, 16 marker
  float value = 0.0f;        // the measured value, or the number of a number event
  std::uint32_t extra = 0;   // the 24-bit number of an event or marker
  bool ownValue = true;      // false: a reader carries the last value of the record over
};

struct PageTruth {
  std::uint16_t page = 0;
  std::uint32_t time = 0;    // header time
  std::vector<EntryTruth> entries;
};

// A decoded entry as a reader of the pages sees it; value is empty where the reader has no
// value yet to carry over.
struct DecodedEntry {
  std::uint32_t time = 0;
  std::uint8_t kind = 0;
  std::optional<float> value;
  std::uint32_t extra = 0;
};

struct RecordTruth {
  std::uint32_t id = 0;          // order of creation
  std::uint32_t startTime = 0;   // start time of the whole run
  std::uint8_t type = 0;
  std::deque<PageTruth> pages;   // oldest first; front pages vanish as the ring overwrites them
  bool lostPages = false;        // the ring has overwritten its beginning

  std::uint16_t FirstPage() const { return pages.front().page; }
  std::uint16_t LastPage() const { return pages.back().page; }
  // The start time a reader finds: the header time of the oldest page still there.
  std::uint32_t VisibleStartTime() const { return pages.front().time; }
  // The entries that decoding the remaining pages, oldest first, gives.
  std::vector<DecodedEntry> DecodedEntries() const;
};

// What the generator put into the ring, record by record, kept in step with the memory as
// pages are overwritten. The truth file is written from it.
class RecordBook {
 public:
  explicit RecordBook(std::uint32_t ringPages) : owner_(ringPages, kNone) {}

  void BeginRecord(std::uint32_t startTime, std::uint8_t type);
  // The newest record gained a page; whatever page had that number before is forgotten.
  void AddPage(PageTruth page);
  // The newest page of the newest record gained entries.
  void AddEntries(std::uint16_t page, std::vector<EntryTruth> entries);
  const std::deque<RecordTruth>& records() const { return records_; }  // oldest first

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  void Forget(std::uint16_t page);

  std::deque<RecordTruth> records_;
  std::vector<std::uint32_t> owner_;  // record id per ring page
  std::uint32_t nextId_ = 0;
};

}  // namespace varnel::sim
