// The read/write worker's record reading: the pages of each selected record, newest first,
// by single pages (addresses up to 250) or by blocks of pages (251 and above), and the
// trimming of pages the logger overwrote while they were read.
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "device/ring.h"
#include "link/bus.h"
#include "link/link_state.h"
#include "workers/page_io.h"
#include "workers/read_write_thread.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {
constexpr int kBeforeRecordMs = 200;
}  // namespace

bool TReadWriteThread::ReadRecords() {
  for (int i = Device.RecCount() - 1; i >= 0; --i) {
    lastHandled_ = i;
    TRec& rec = *Device.Rec(i);
    if (!rec.Selected) continue;
    if (rec.Read) {
      posts_.Status(wsRecordAlreadyRead, i);
      continue;
    }
    posts_.Status(wsReadingRecord, i);
    SleepUnlessCancelled(kBeforeRecordMs);  // a stop fails the first command at once
    // A record whose earlier reading broke off is read again in full: from its whole span,
    // and without the pages of that reading, which would otherwise end up twice in its file.
    if (rec.Partial) rec.Span = rec.PrevSpan;
    rec.ClearPages();
    PagesDone = 0;
    const int resultBefore = result_;
    const std::uint64_t retriesBefore = RetryCount();
    const bool ok = ReadRecordPages(rec, i);
    if (!ok) return false;
    // A repeated request may have been answered by a later call, from another logger, when
    // the modem's report of the end of the call went by unseen. The record's pages count
    // only when the logger still tells the serial number its table came with.
    if (RetryCount() != retriesBefore && !ConfirmSameLogger()) {
      rec.ClearPages();
      PagesDone = 0;
      result_ = resultBefore;
      return false;
    }
    rec.Read = true;
  }
  return true;
}

bool TReadWriteThread::ReadPages(TRec& rec, PageRun& run) {
  return Device.Address < kFirstMultiPageBlockAddress ? ReadByPages(rec, run) : ReadByBlocks(rec, run);
}

void TReadWriteThread::KeepIfLinked(TRec& rec, int pageNo, const std::uint8_t* data, PageRun& run) {
  const PageHeader h = DecodeHeader(data, static_cast<std::uint16_t>(pageNo));
  if (!run.haveReference) {
    run.haveReference = true;
    run.referenceLink = h.Link;
  }
  // Pages of another record (the logger went on writing into the ring) are read and
  // counted but not kept.
  if (h.Link != run.referenceLink) return;
  rec.AddPage(std::make_unique<TPage>(static_cast<std::int16_t>(pageNo), data,
                                      static_cast<std::int16_t>(h.Link), h.Time));
}

bool TReadWriteThread::ReadByPages(TRec& rec, PageRun& run) {
  std::array<std::uint8_t, kPageSize> page{};
  for (; run.left > 0; --run.left) {
    posts_.Advance();
    const int k = run.next;
    if (ReadWholePage(Device.Address, static_cast<std::uint16_t>(k), page.data()) != 0) {
      return false;
    }
    KeepIfLinked(rec, k, page.data(), run);
    run.next = k == 0 ? Device.LastRingPage : k - 1;
    result_ = wdRecordsPartly;
    ++PagesDone;
  }
  return true;
}

// Blocks of BlockPages pages, from the newest page backwards; a block never runs across
// page 0, so the ring's wrap falls between two blocks.
bool TReadWriteThread::ReadByBlocks(TRec& rec, PageRun& run) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(BlockPages) * kPageSize);
  while (run.left > 0) {
    const int k = run.next;
    int n = std::min<int>(BlockPages, run.left);
    int start = k - n + 1;
    if (start < 0) {
      n = k + 1;
      start = 0;
    }
    if (BusReadPageBlock(Device.Address, static_cast<std::uint16_t>(start),
                         static_cast<std::uint8_t>(n), block.data()) != 0) {
      return false;
    }
    run.left -= n;
    posts_.Advance(n);
    for (int j = n - 1; j >= 0; --j) {
      KeepIfLinked(rec, start + j, block.data() + static_cast<std::size_t>(j) * kPageSize, run);
    }
    result_ = wdRecordsPartly;
    ++PagesDone;
    run.next = k - n >= 0 ? k - n : Device.LastRingPage - (n - k - 1);
  }
  return true;
}

// `next` is the page the logger overwrites next. A record's pages from its oldest on are
// dropped as long as they are not younger than that page (ages taken with the write
// pointer of the record table); the record then starts at its oldest page kept.
void TReadWriteThread::TrimOverwrittenPages(std::uint16_t next) {
  const std::uint16_t lastRingPage = Device.LastRingPage;
  for (int i = Device.RecCount() - 1; i >= 0; --i) {
    lastHandled_ = i;
    TRec& rec = *Device.Rec(i);
    if (!rec.Selected) continue;
    const std::uint16_t nextAge = RingIndex(next, rec.Origin, lastRingPage);
    while (rec.PageCount() > 0) {
      const int last = rec.PageCount() - 1;
      const auto pageNo = static_cast<std::uint16_t>(rec.Page(last)->PageNo);
      if (RingIndex(pageNo, rec.Origin, lastRingPage) > nextAge) break;
      rec.DeletePage(last);
      --rec.Span;
      if (const TPage* oldest = rec.Page(last - 1)) {
        rec.StartTime = oldest->Time;
        rec.FirstPage = static_cast<std::uint16_t>(oldest->PageNo);
      }
    }
  }
}

}  // namespace varnel
