#pragma once
#include <cstdint>
#include <string>

#include "device/device.h"
#include "workers/job_kind.h"
#include "workers/post_target.h"
#include "workers/worker_posts.h"

namespace varnel {

// The read/write worker (jobs 1, 3 and 9). A full job (1, 3) identifies the logger, checks
// that it is the one whose record table the device image holds, reads its configuration
// when the image does not hold it yet, reads the pages of the selected records, drops the
// pages the logger overwrote meanwhile, runs the device write sequence and restarts the
// logger. In modem mode every job then waits for the modem to report the end of the call
// (job 9 does only that).
//
// It uses the port the facade opened and never opens or closes it.
class TReadWriteThread {
 public:
  TReadWriteThread(PostTarget& window, JobKind kind, TDevice& device);

  void Execute();

  static constexpr std::uint8_t kBlockPages = 50;

 private:
  void RunFullJob();
  std::int64_t ProgressTotal() const;
  bool Identify();
  bool CheckSameLogger();
  bool ConfirmSameLogger();
  bool ReadConfiguration();
  void ReadComment();
  bool QueryState();
  bool ReadRecords();
  // The pages of a record still to be read, newest first, and the link of the first page
  // read, which every page kept must carry.
  struct PageRun {
    int next = 0;  // the page read next
    int left = 0;  // pages still to read
    bool haveReference = false;
    std::uint16_t referenceLink = 0;
  };
  // All pages of the record, or with the option to read only new pages and a cache that
  // fits, the pages written since the last contact plus the cache (read_new_pages.cpp).
  bool ReadRecordPages(TRec& rec, int index);
  const CachedRecord* UsableCache(const TRec& rec) const;
  bool MergeCached(TRec& rec, const CachedRecord& cached);
  bool ReadPages(TRec& rec, PageRun& run);
  bool ReadByPages(TRec& rec, PageRun& run);
  bool ReadByBlocks(TRec& rec, PageRun& run);
  // Keeps the page when its link matches the record's first page read (the reference).
  void KeepIfLinked(TRec& rec, int pageNo, const std::uint8_t* data, PageRun& run);
  bool ReadNextWritePage(std::uint16_t& next);
  void TrimOverwrittenPages(std::uint16_t next);
  void EndFullJob();
  bool WaitForHangUp();
  void ReportHungUp();
  // True when `text` holds the modem's report of the end of the call (then reported).
  bool TakeHangUpReport(const std::string& text);

  // Posts progress and returns true when the command succeeded.
  bool Step(std::int16_t busResult);

  WorkerPosts posts_;  // to the host window given at creation
  JobKind Kind;
  TDevice& Device;
  std::uint8_t BlockPages = kBlockPages;
  std::int16_t PagesDone = 0;
  int result_ = 0;
  int lastHandled_ = -1;  // the record the end of the job marks as partly read or not
  std::int64_t total_ = 0;
};

}  // namespace varnel
