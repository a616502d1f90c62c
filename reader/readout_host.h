#pragma once
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <vector>

#include "device/device.h"
#include "workers/file_thread.h"
#include "workers/message_queue.h"
#include "reader/reader_options.h"

namespace varnel::reader {

// Exit status of a readout.
inline constexpr int kReadDone = 0;
inline constexpr int kReadPortFailed = 3;
inline constexpr int kReadNoFile = 5;

// One readout of a directly wired logger, driven as the main window drives it: contents
// (identity, serial number, record table), the selected records, the device's write
// sequence and restart, then one .idc file per record. The workers post to its queue; the
// messages are handled on the thread that calls Run.
class ReadoutHost {
 public:
  ReadoutHost(ReaderOptions options, std::ostream& out);
  ~ReadoutHost();

  // Runs the readout to its end; the exit status. `stopRequested` is polled while waiting:
  // when it turns true the job is stopped as releasing Start does (pages read so far still
  // become files).
  int Run(const std::function<bool()>& stopRequested);

  // The files written, in the order of the records.
  const std::vector<std::filesystem::path>& Files() const { return files_; }

 private:
  void Handle(const WorkerMessage& m);
  void OnDone(int code);
  void Finish(int status);
  void Shutdown();

  ReaderOptions options_;
  std::ostream& out_;
  MessageQueue queue_;  // before the workers that post to it: destroyed after them
  TDevice device_;
  std::unique_ptr<TFileThread> fileThread_;
  std::vector<std::filesystem::path> files_;
  bool finished_ = false;
  bool stopped_ = false;
  int status_ = kReadNoFile;
};

}  // namespace varnel::reader
