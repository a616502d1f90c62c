#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/device.h"
#include "workers/file_thread.h"
#include "workers/post_target.h"
#include "reader/reader_options.h"

namespace varnel::reader {

// Exit status of a readout.
inline constexpr int kReadDone = 0;
inline constexpr int kReadPortFailed = 3;
inline constexpr int kReadNoFile = 5;

// One readout of a directly wired logger, driven as the main window drives it: contents
// (identity, serial number, record table), the selected records, the device's write
// sequence and restart, then one .idc file per record. The workers post here; the messages
// are handled on the thread that calls Run.
class ReadoutHost : public PostTarget, public SyncTarget {
 public:
  ReadoutHost(ReaderOptions options, std::ostream& out);
  ~ReadoutHost() override;

  void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
            std::string text = {}) override;
  bool Synchronize(const std::function<void()>& call) override;

  // Runs the readout to its end; the exit status. `stopRequested` is polled while waiting:
  // when it turns true the job is stopped as releasing Start does (pages read so far still
  // become files).
  int Run(const std::function<bool()>& stopRequested);

  // The files written, in the order of the records.
  const std::vector<std::filesystem::path>& Files() const { return files_; }

 private:
  struct SyncCall {
    std::function<void()> call;
    bool done = false;
  };
  struct Item {
    unsigned message = 0;
    std::int64_t w = 0;
    std::int64_t l = 0;
    std::shared_ptr<SyncCall> sync;  // a call to run here, instead of a message
  };

  void Handle(const Item& m);
  void OnDone(int code);
  void Finish(int status);
  void Shutdown();

  ReaderOptions options_;
  std::ostream& out_;
  TDevice device_;
  std::unique_ptr<TFileThread> fileThread_;
  std::vector<std::filesystem::path> files_;
  bool finished_ = false;
  bool stopped_ = false;
  int status_ = kReadNoFile;

  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable syncDone_;
  std::deque<Item> queue_;
  bool closing_ = false;
};

}  // namespace varnel::reader
