#include "sim/record_writer.h"

#include <algorithm>
#include <cmath>

namespace varnel::sim {

namespace {
// Logging intervals in seconds; those above 15 s need a time jump entry before the sample.
constexpr std::uint32_t kIntervals[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 900};
}  // namespace

RecordWriter::RecordWriter(LoggerMemory& memory, RecordBook& book, std::uint64_t seed,
                           std::uint16_t channelMask)
    : memory_(memory), book_(book), rng_(Mix64(seed, 0x5245434F5244ull)) {
  for (std::uint8_t ch = 0; ch <= kMaxChannel; ++ch) {
    if (channelMask & (1u << ch)) channels_.push_back(ch);
  }
  if (channels_.empty()) channels_.push_back(1);
  for (std::uint8_t ch : channels_) {
    if (ch == 0) {
      level_.push_back(static_cast<float>(4.0 + rng_.Unit() * 10.0));   // water temperature
    } else if (ch <= 2) {
      level_.push_back(static_cast<float>(0.8 + rng_.Unit() * 2.5));    // absolute pressure
    } else {
      level_.push_back(static_cast<float>(rng_.Unit() * 0.02 - 0.01));  // differential, near 0
    }
  }
}

void RecordWriter::StartRecord(std::uint32_t startTime) {
  hasRecord_ = true;
  nextIsStart_ = true;
  time_ = queuedTime_ = startTime;
  sampled_ = false;
  queue_.clear();
  type_ = static_cast<std::uint8_t>(rng_.Below(3));
  interval_ = kIntervals[rng_.Below(std::size(kIntervals))];
  book_.BeginRecord(startTime, type_);
}

float RecordWriter::NextValue(std::size_t i) {
  const double stepSize = channels_[i] == 0 ? 0.05 : 0.004;
  float v = level_[i] + static_cast<float>((rng_.Unit() - 0.5) * 2.0 * stepSize);
  if (channels_[i] == 0) v = std::clamp(v, 0.5f, 25.0f);
  level_[i] = v;
  return v;
}

void RecordWriter::QueueSample() {
  // The first sample of a run is taken at its start time; later ones follow the interval,
  // with an occasional long pause.
  std::uint32_t step = sampled_ ? interval_ : 0;
  sampled_ = true;
  if (step != 0 && rng_.Chance(1, 40)) step = static_cast<std::uint32_t>(rng_.Between(600, 86400));
  std::uint32_t small = step <= 15 ? step : rng_.Below(16);
  if (small > step) small = step;
  const std::uint32_t jump = step - small;
  if (jump > 0) {
    Pending p;
    p.code = kTimeJump;
    p.payload = {static_cast<std::uint8_t>(jump >> 16), static_cast<std::uint8_t>(jump >> 8),
                 static_cast<std::uint8_t>(jump)};
    queuedTime_ += jump;
    p.truth = {queuedTime_, kKindMarker, 0.0f, jump, false};
    queue_.push_back(p);
  }
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    const std::uint32_t l = i == 0 ? small : 0;
    Pending p;
    p.code = static_cast<std::uint8_t>((channels_[i] << 4) | l);
    p.payload = FloatTo24(NextValue(i));
    queuedTime_ += l;
    p.truth = {queuedTime_, channels_[i], Float24ToFloat(p.payload), 0, true};
    queue_.push_back(p);
  }
}

void RecordWriter::QueueSpecial() {
  Pending p;
  const std::uint32_t pick = rng_.Below(3);
  std::uint32_t n = rng_.Below(1u << 24);
  if (pick == 0) {
    p.code = static_cast<std::uint8_t>(kFirstMarker + rng_.Below(3));
    p.truth = {queuedTime_, kKindMarker, 0.0f, n, false};
  } else if (pick == 1) {
    n = rng_.Below(5000);
    p.code = kNumberEvent;
    p.truth = {queuedTime_, kKindEvent, static_cast<float>(n), n, true};
  } else {
    p.code = static_cast<std::uint8_t>(kFirstEvent + rng_.Below(kLastEvent - kFirstEvent + 1));
    p.truth = {queuedTime_, kKindEvent, 0.0f, n, false};
  }
  p.payload = {static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
               static_cast<std::uint8_t>(n)};
  queue_.push_back(p);
}

std::uint16_t RecordWriter::WritePage(bool finalPage, std::uint32_t fallbackStart) {
  if (!hasRecord_) StartRecord(fallbackStart);
  const std::uint16_t target = memory_.NextRingPage();
  PageBytes page = OpenPage(target);

  std::size_t limit = kEntriesPerPage;
  if (finalPage) {
    // The last page of a run: the logger may have stopped right after opening it.
    limit = rng_.Chance(1, 4) ? 0 : rng_.Below(kEntriesPerPage + 1);
  } else if (rng_.Chance(1, 12)) {
    limit = static_cast<std::size_t>(rng_.Between(1, kEntriesPerPage - 1));  // closed early
  }
  PageTruth truth;
  truth.page = target;
  truth.time = time_;
  const std::size_t placed = PlaceEntries(page.data(), 0, limit, truth.entries);
  if (placed < kEntriesPerPage) {
    std::uint8_t* end = page.data() + kFirstEntryOffset + placed * kEntrySize;
    *end = kEndMark;
    // What follows an end mark is never read: sometimes erased, sometimes old garbage.
    if (rng_.Chance(1, 2)) {
      for (std::uint8_t* q = end + 1; q < page.data() + kPageSize; ++q)
        *q = static_cast<std::uint8_t>(rng_.Below(256));
    }
  }
  nextIsStart_ = false;
  memory_.AppendRingPage(page);
  book_.AddPage(std::move(truth));
  newestPage_ = target;
  newestEntries_ = placed;
  return target;
}

PageBytes RecordWriter::OpenPage(std::uint16_t target) {
  PageBytes page;
  page.fill(0xFF);
  PageHeader header;
  header.type = type_;
  header.time = time_;
  if (nextIsStart_) {
    firstPage_ = target;
    header.start = true;
  }
  header.link = firstPage_;
  PutPageHeader(header, page.data());
  // Bytes 6 and 7 carry no entries; fill them so that a reader starting there would notice.
  page[6] = static_cast<std::uint8_t>(rng_.Below(0xFF));
  page[7] = static_cast<std::uint8_t>(rng_.Below(0xFF));
  return page;
}

std::size_t RecordWriter::PlaceEntries(std::uint8_t* page, std::size_t from, std::size_t limit,
                                       std::vector<EntryTruth>& truth) {
  std::size_t placed = from;
  for (; placed < limit; ++placed) {
    if (queue_.empty()) {
      if (!nextIsStart_ || placed > 0) {
        if (rng_.Chance(1, 10)) QueueSpecial();
      }
      QueueSample();
    }
    const Pending p = queue_.front();
    queue_.pop_front();
    std::uint8_t* e = page + kFirstEntryOffset + placed * kEntrySize;
    e[0] = p.code;
    e[1] = p.payload[0];
    e[2] = p.payload[1];
    e[3] = p.payload[2];
    truth.push_back(p.truth);
    time_ = p.truth.time;
  }
  return placed;
}

int RecordWriter::AddEntries(int count, std::uint32_t fallbackStart) {
  int opened = 0;
  while (count > 0) {
    const bool roomOnNewest = hasRecord_ && !nextIsStart_ && newestEntries_ < kEntriesPerPage &&
                              memory_.writePointer() == newestPage_;
    if (!roomOnNewest) {
      if (!hasRecord_) StartRecord(fallbackStart);
      const std::uint16_t target = memory_.NextRingPage();
      PageBytes page = OpenPage(target);
      // Sometimes the rest still holds what the logger's page buffer held before; entries
      // and their end mark are written over it.
      if (rng_.Chance(1, 2)) {
        for (std::size_t q = kFirstEntryOffset; q < kPageSize; ++q)
          page[q] = static_cast<std::uint8_t>(rng_.Below(256));
      }
      memory_.AppendRingPage(page);
      book_.AddPage(PageTruth{target, time_, {}});
      newestPage_ = target;
      newestEntries_ = 0;
      ++opened;
    }
    std::uint8_t* page = memory_.Page(newestPage_);
    const std::size_t limit =
        std::min(kEntriesPerPage, newestEntries_ + static_cast<std::size_t>(count));
    std::vector<EntryTruth> added;
    const std::size_t placed = PlaceEntries(page, newestEntries_, limit, added);
    nextIsStart_ = false;
    count -= static_cast<int>(placed - newestEntries_);
    newestEntries_ = placed;
    if (placed < kEntriesPerPage) page[kFirstEntryOffset + placed * kEntrySize] = kEndMark;
    book_.AddEntries(newestPage_, std::move(added));
  }
  return opened;
}

std::string FillMemory(LoggerMemory& memory, RecordWriter& writer, std::uint64_t seed,
                       const FillSettings& s) {
  const MemoryLayout& layout = memory.layout();
  const std::uint32_t ring = layout.RingPages();
  if (s.records < 0) return "the number of records cannot be negative";
  if (s.records == 0) return "";
  const std::uint32_t n = static_cast<std::uint32_t>(s.records);
  Prng rng(Mix64(seed, 0x4C41594F5554ull));
  std::vector<std::uint32_t> sizes(n, 1);

  if (!s.wrapped) {
    if (n > ring) return "the records do not fit into the ring; use fewer records or more memory";
    const std::uint32_t maxPer =
        std::max<std::uint32_t>(1, std::min<std::uint32_t>(std::max(1, s.maxPagesPerRecord), ring / n));
    for (auto& size : sizes) size = static_cast<std::uint32_t>(rng.Between(1, maxPer));
    memory.SetWritePointer(layout.LastRingPage());  // an erased memory is written from page 0
  } else {
    if (n > ring / 2) return "a wrapped ring needs at least two ring pages per record";
    // The pages written exceed the ring by `lost`, all taken from the oldest record.
    const std::uint32_t lost = static_cast<std::uint32_t>(rng.Between(1, std::max<std::uint32_t>(1, ring / (2 * n))));
    const std::uint32_t total = ring + lost;
    if (n == 1) {
      sizes[0] = total;
    } else {
      sizes[0] = lost + static_cast<std::uint32_t>(rng.Between(1, std::max<std::uint32_t>(1, ring / n)));
      const std::uint32_t rest = total - sizes[0];
      std::vector<std::uint32_t> weight(n - 1);
      std::uint64_t weights = 0;
      for (auto& w : weight) weights += (w = 1 + rng.Below(100));
      std::uint32_t used = 0;
      const std::uint32_t spare = rest - (n - 1);
      for (std::uint32_t i = 1; i < n; ++i) {
        sizes[i] = 1 + static_cast<std::uint32_t>(std::uint64_t{spare} * weight[i - 1] / weights);
        used += sizes[i];
      }
      sizes[n - 1] += rest - used;
    }
    const std::uint32_t first = rng.Below(ring);
    memory.SetWritePointer(first == 0 ? layout.LastRingPage() : static_cast<std::uint16_t>(first - 1));
  }
  // One run of a single page, so that a start page is also the last page of its record.
  if (n >= 3) {
    const std::uint32_t mid = n / 2;
    sizes[n - 1] += sizes[mid] - 1;
    sizes[mid] = 1;
  }
  if (!s.wrapped && s.newestPages > 0) {
    sizes[n - 1] = static_cast<std::uint32_t>(s.newestPages);
    std::uint64_t total = 0;
    for (std::uint32_t size : sizes) total += size;
    if (total > ring) return "the newest run does not fit into the ring beside the others";
  }

  std::uint32_t start = s.firstStart;
  for (std::uint32_t i = 0; i < n; ++i) {
    writer.StartRecord(start);
    for (std::uint32_t j = 0; j < sizes[i]; ++j) writer.WritePage(j + 1 == sizes[i]);
    start = writer.time() + static_cast<std::uint32_t>(rng.Between(3600, 20 * 86400));
  }
  return "";
}

}  // namespace varnel::sim
