#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/logger_memory.h"
#include "sim/prng.h"
#include "sim/record_book.h"

namespace varnel::sim {

// Composes the pages of recording runs the way the logger fills them and appends them to the
// ring: measurements of every channel in the mask with 24-bit values, time jumps for the
// longer intervals, now and then markers and events, end marks on pages closed early, and
// samples split across a page boundary where a page is full. Everything follows from the
// seed, so one seed gives one memory.
class RecordWriter {
 public:
  RecordWriter(LoggerMemory& memory, RecordBook& book, std::uint64_t seed,
               std::uint16_t channelMask);

  // The next page written is the first page of a new record starting at startTime.
  void StartRecord(std::uint32_t startTime);
  bool HasRecord() const { return hasRecord_; }
  // Writes the next page of the current record (starting one at `fallbackStart` when none
  // is open). A final page takes only some entries and is closed with an end mark.
  std::uint16_t WritePage(bool finalPage = false, std::uint32_t fallbackStart = 0);
  // Adds `count` entries to the current record the way a logger fills its memory entry by
  // entry: the newest page takes them while it has room (each over the end mark and whatever
  // followed it), then new pages are opened. Returns the number of pages opened.
  int AddEntries(int count, std::uint32_t fallbackStart = 0);
  // Device time of the newest entry of the current record.
  std::uint32_t time() const { return time_; }

 private:
  struct Pending {
    std::uint8_t code = 0;                  // the first byte without the time step
    std::uint32_t step = 0;                 // seconds to add before this entry
    std::array<std::uint8_t, 3> payload{};
    EntryTruth truth;
  };

  void QueueSample();
  void QueueSpecial();
  // A new page at `target` with its header and no entry yet.
  PageBytes OpenPage(std::uint16_t target);
  // Puts the next entries into slots [from, limit) of `page`; returns the slot after the last.
  std::size_t PlaceEntries(std::uint8_t* page, std::size_t from, std::size_t limit,
                           std::vector<EntryTruth>& truth);
  float NextValue(std::size_t channelIndex);

  LoggerMemory& memory_;
  RecordBook& book_;
  Prng rng_;
  std::vector<std::uint8_t> channels_;
  std::vector<float> level_;
  std::deque<Pending> queue_;

  bool hasRecord_ = false;
  bool nextIsStart_ = false;
  bool sampled_ = false;          // the current record has its first sample
  std::uint16_t firstPage_ = 0;
  std::uint8_t type_ = 0;
  std::uint32_t interval_ = 1;
  std::uint32_t time_ = 0;
  std::uint32_t queuedTime_ = 0;  // time after the last queued entry
  std::uint16_t newestPage_ = 0;  // the page written last and the entries it holds
  std::size_t newestEntries_ = kEntriesPerPage;
};

// How the memory looks when the simulation starts.
struct FillSettings {
  int records = 5;
  bool wrapped = false;           // the ring has been overwritten past its end
  int maxPagesPerRecord = 40;     // without wrapping
  int newestPages = 0;            // without wrapping: the newest run has exactly this many (0: random)
  std::uint32_t firstStart = 758008800;  // 2024-01-08 06:00:00
};

// Writes settings.records recording runs into an erased memory. Returns "" or why it cannot.
std::string FillMemory(LoggerMemory& memory, RecordWriter& writer, std::uint64_t seed,
                       const FillSettings& settings);

}  // namespace varnel::sim
