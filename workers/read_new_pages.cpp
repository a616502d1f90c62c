// Reading only the pages a logger wrote since the last contact. Which pages of a record come
// from the line and which from the page cache is decided here, and nowhere else: with the
// option off, or without a cache that fits the record, every page is read as always.
//
// With a cached record of the same identity (first page and start time) the worker reads
// from the record's newest page back to the newest page it cached, that one included, and
// takes the older pages from the cache. The re-read page must still hold every entry of its
// cached copy (a logger fills its newest page entry by entry, so it may have grown since);
// otherwise the rest of the record is read from the logger, so it is read in full after
// all. The usual trimming then runs over the union, exactly as over a full readout.
#include <algorithm>
#include <memory>

#include "device/ring.h"
#include "workers/page_decoder.h"
#include "workers/read_write_thread.h"
#include "workers/worker_messages.h"

namespace varnel {

const CachedRecord* TReadWriteThread::UsableCache(const TRec& rec) const {
  const PageCache* cache = Device.CachedPages.get();
  if (!Device.ReadOnlyNewPages || !cache || !cache->SameLogger(Device)) return nullptr;
  const CachedRecord* cached = cache->Find(rec.FirstPage, rec.StartTime);
  if (!cached || cached->Pages.empty()) return nullptr;
  const std::uint16_t n = Device.LastRingPage;
  if (!RingPointerValid(cached->LastPage, n) || !RingPointerValid(rec.LastPage, n)) return nullptr;
  if (static_cast<std::uint16_t>(cached->Pages.front().PageNo) != cached->LastPage) return nullptr;
  // Ages with the write pointer of this contact: the cached pages must lie inside the record
  // as it stands now, oldest last, and the record may only have grown.
  const std::uint16_t w = rec.Origin;
  const int first = RingIndex(rec.FirstPage, w, n);
  const int last = RingIndex(rec.LastPage, w, n);
  int previous = RingIndex(cached->LastPage, w, n) + 1;
  if (previous - 1 > last) return nullptr;
  for (const TPage& p : cached->Pages) {
    const auto pageNo = static_cast<std::uint16_t>(p.PageNo);
    if (!RingPointerValid(pageNo, n)) return nullptr;
    const int age = RingIndex(pageNo, w, n);
    if (age >= previous || age < first) return nullptr;
    previous = age;
  }
  return cached;
}

bool TReadWriteThread::MergeCached(TRec& rec, const CachedRecord& cached) {
  const TPage* reread = rec.Page(rec.PageCount() - 1);
  if (!reread || static_cast<std::uint16_t>(reread->PageNo) != cached.LastPage ||
      reread->Link != cached.Pages.front().Link ||
      !PageKeepsEntriesOf(*reread, cached.Pages.front())) {
    return false;
  }
  for (std::size_t k = 1; k < cached.Pages.size(); ++k) {
    rec.AddPage(std::make_unique<TPage>(cached.Pages[k]));
  }
  return true;
}

bool TReadWriteThread::ReadRecordPages(TRec& rec, int index) {
  PageRun run;
  run.next = rec.LastPage;
  run.left = rec.Span + 1;
  const CachedRecord* cached = UsableCache(rec);
  if (!cached) {
    if (Device.ReadOnlyNewPages) posts_.Status(wsPageCacheUnused, index);
    return ReadPages(rec, run);
  }
  const std::uint16_t n = Device.LastRingPage;
  const int fresh =
      RingIndex(rec.LastPage, rec.Origin, n) - RingIndex(cached->LastPage, rec.Origin, n) + 1;
  run.left = fresh;
  if (!ReadPages(rec, run)) return false;
  if (!MergeCached(rec, *cached)) {
    posts_.Status(wsPageCacheUnused, index);
    run.left = rec.Span + 1 - fresh;
    return ReadPages(rec, run);
  }
  const auto fromCache = static_cast<std::int64_t>(cached->Pages.size() - 1);
  // The bar covers every page of the record, read or not.
  posts_.Advance(rec.Span + 1 - fresh);
  posts_.Status(wsPagesFromCache, fromCache << 32 | fresh);
  return true;
}

}  // namespace varnel
