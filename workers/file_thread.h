#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device.h"
#include "files/idc_format.h"
#include "files/idc_writer.h"
#include "workers/post_target.h"
#include "workers/worker_posts.h"

namespace varnel {

// What one file worker wrote, for its host: the number its WM_FILES_DONE carries (lParam)
// and the data files it completed, in the order written. The worker adds to it while it
// runs; the host reads it when that done message arrives -- or, for a worker it gave up
// waiting for, takes what is there.
class FilesReport {
 public:
  explicit FilesReport(std::int64_t run = 0) : Run(run) {}

  const std::int64_t Run;
  // Told of each file on the worker's thread the moment it has its name, before anything
  // else hears of it; set before the worker starts.
  std::function<void(const std::filesystem::path&)> Committed;

  std::vector<std::filesystem::path> Files() const;
  // Why the worker stopped before its last record; empty when it did not.
  std::string Error() const;

  void AddFile(std::filesystem::path name);
  void SetError(std::string error);

 private:
  mutable std::mutex mutex_;
  std::vector<std::filesystem::path> files_;
  std::string error_;
};

// The file worker: writes one .idc data file per selected record that was read or partly
// read, reports its progress and ends with one WM_FILES_DONE (1 when it went through every
// record, 0 when no record was selected or it stopped or failed during a file; lParam is
// the report's Run). The files it completed are in its report, not in the device image:
// a worker that ends late, after the next call's worker started, still reports its own.
//
// Everything it needs from the device image -- the records' pages and the logger's identity
// and configuration -- is copied when it is made, on the thread that makes it (the host's
// main thread), so the next job may clear or refill the image at once.
//
// A file is written under a temporary name, pushed to the disk and only then given its
// name, which never replaces another file. A file that is not complete never carries a
// data file's name: when the worker stops or fails, its temporary file is removed.
//
// The owner destroys the object only after the thread has ended (the destructor asks it to
// stop and waits), or gives it up with Abandon().
class TFileThread {
 public:
  TFileThread(PostTarget& window, std::uint8_t mode, TDevice& device, std::string versionText,
              std::filesystem::path dataFolder,
              std::shared_ptr<FilesReport> report = std::make_shared<FilesReport>());
  ~TFileThread();
  TFileThread(const TFileThread&) = delete;
  TFileThread& operator=(const TFileThread&) = delete;

  // Asks the worker to stop at the next block boundary; the file being written is dropped.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once the worker has made its last post.
  bool Finished() const { return finished_; }
  // Waits until the thread has ended.
  void Join();
  // For a worker that does not end (a disk that does not answer): it is told to stop, its
  // posts no longer reach the host, its temporary file is removed where the system allows,
  // and the thread is left to end on its own. The object must then never be destroyed.
  void Abandon();

  const std::shared_ptr<FilesReport>& Report() const { return report_; }

 private:
  struct RecordCopy {
    bool Selected = false;
    bool Read = false;
    bool Partial = false;
    IdcRecordInfo Info;
    std::vector<TPage> Pages;  // newest first, as read
  };

  // Posts to the host until Abandon() cuts it off.
  class Relay : public PostTarget {
   public:
    explicit Relay(PostTarget& window) : window_(&window) {}
    void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
              std::string text = {}) override;
    void Cut();

   private:
    std::mutex mutex_;
    PostTarget* window_;
  };

  void Execute();
  // On the creating thread: the progress total, the copy of what the files need.
  void TakeCopy(TDevice& device);
  // Writes one file; false when the worker stopped or the file failed.
  bool WriteRecordFile(const RecordCopy& rec);
  bool WriteBlocks(const RecordCopy& rec);
  bool StopRequested() const { return terminated_; }
  void BeforeBlock() const;
  void SetTemp(std::filesystem::path temp);
  void DropTemp();

  Relay relay_;
  WorkerPosts posts_{relay_};
  std::uint8_t Mode;
  std::string VersionText;
  std::filesystem::path DataFolder;
  TDataFile File;
  std::shared_ptr<FilesReport> report_;
  const std::chrono::milliseconds blockDelay_;  // see SetFileBlockDelayForTests

  std::int64_t total_ = 0;
  int selected_ = 0;
  IdcLoggerInfo logger_;
  std::vector<RecordCopy> records_;

  std::mutex tempMutex_;
  std::filesystem::path temp_;  // the file being written, until it has its name

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;  // last: starts after everything above is set up
};

// What a data file copies of the logger from the device image.
IdcLoggerInfo LoggerInfoOf(const TDevice& device);

// For tests that need a slow or hung disk: each block of a data file of the workers made
// from now on waits this long before it is written, and does not wake for a stop. The
// environment variable VARNEL_TEST_FILE_BLOCK_DELAY_MS sets it for a whole program.
void SetFileBlockDelayForTests(std::chrono::milliseconds delay);

}  // namespace varnel
