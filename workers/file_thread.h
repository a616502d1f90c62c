#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "device/device.h"
#include "files/idc_format.h"
#include "files/idc_writer.h"
#include "workers/post_target.h"
#include "workers/worker_posts.h"

namespace varnel {

// The file worker: writes one .idc data file per selected record that was read or partly
// read, adds each file's name to the device image's Files list, reports its progress and
// ends with one WM_FILES_DONE (1 when it went through every record, 0 when no record was
// selected or it stopped or failed during a file).
//
// The thread starts when the object is made. Everything it needs from the device image --
// the records' pages and the logger's identity and configuration -- is copied in one call
// on the host's main thread at its start, so a new job that the host starts meanwhile
// (which clears the record list) cannot change what is being written.
//
// The owner destroys the object only after the thread has ended: the destructor asks it to
// stop and waits for it (the host's SyncTarget must answer "stopping" by then).
class TFileThread {
 public:
  TFileThread(PostTarget& window, SyncTarget& mainThread, std::uint8_t mode, TDevice& device,
              std::string versionText, std::filesystem::path dataFolder);
  ~TFileThread();
  TFileThread(const TFileThread&) = delete;
  TFileThread& operator=(const TFileThread&) = delete;

  // Asks the worker to stop at the next block boundary; the file being written keeps its
  // complete blocks and gets no check sum.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once the worker has made its last post.
  bool Finished() const { return finished_; }
  // Waits until the thread has ended.
  void Join();

 private:
  struct RecordCopy {
    bool Selected = false;
    bool Read = false;
    bool Partial = false;
    IdcRecordInfo Info;
    std::vector<TPage> Pages;  // newest first, as read
  };

  void Execute();
  // On the main thread: the progress total, the copy of what the files need.
  void TakeCopy();
  // Writes one file; false when the worker stopped or the file failed.
  bool WriteRecordFile(const RecordCopy& rec);
  bool StopRequested() const { return terminated_; }

  SyncTarget& main_;
  WorkerPosts posts_;  // to the host window given at creation
  std::uint8_t Mode;
  TDevice& Device;
  std::string VersionText;
  std::filesystem::path DataFolder;
  TDataFile File;

  std::int64_t total_ = 0;
  int selected_ = 0;
  IdcLoggerInfo logger_;
  std::vector<RecordCopy> records_;

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;  // last: starts after everything above is set up
};

// What a data file copies of the logger from the device image.
IdcLoggerInfo LoggerInfoOf(const TDevice& device);

}  // namespace varnel
