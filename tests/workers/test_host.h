#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "workers/file_thread.h"
#include "workers/link_facade.h"
#include "workers/message_queue.h"

namespace varnel::testing {

// One message as the host received it.
struct HostMessage {
  unsigned Message = 0;
  std::int64_t W = 0;
  std::int64_t L = 0;
  std::string Text;
  std::chrono::steady_clock::time_point At;
};

// A small host for the workers: its queue takes their posts for the test thread (its "main
// thread") and, as it handles them there, starts the next job by the result codes the way
// the main window does -- contents, records, files, hang-up, next call. It owns the device
// image. Everything it saw is kept for the test to look at.
class TestHost : public PostTarget {
 public:
  enum class Selection {
    ByOptions,  // the first record, and with ReadActualRec off every record from the month
                // and year of the options on
    All,
    Listed,     // the indices in `selected`
    None,
  };

  struct Setup {
    int port = 1;
    std::uint8_t address = 250;
    bool modem = false;
    JobKind firstJob = kJobModemContents;
    Selection selection = Selection::ByOptions;
    std::vector<int> selected;
    // The options the host loads for the serial number the contents worker reports (the
    // defaults of a fresh contents reading are set before): called on the test thread.
    std::function<void(TDevice&)> loadOptions;
    bool answerOptions = true;  // false: the handshake is never answered (a host that hangs)
    // Modem command slots 0-6 and their switches.
    std::array<std::string, TDevice::kModemSlots> modemCmd{};
    std::array<std::uint8_t, TDevice::kModemSlots> modemCmdActive{};
    bool readAfterContents = true;  // start job 1 after result 1
    bool writeFiles = true;         // start the file worker after result 2 or 5
    int calls = 1;                  // calls to serve: after this many hang-ups nothing follows
    std::filesystem::path dataFolder;  // where the file worker writes
  };

  explicit TestHost(Setup setup);
  ~TestHost() override;

  // Called by the workers.
  void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
            std::string text = {}) override {
    queue_.Post(message, wParam, lParam, std::move(text));
  }

  // Presses Start: resets the device for a contents reading, opens the port and starts the
  // first job. False when the port could not be opened.
  bool Start();
  // Opens the port again and starts `kind` on the device image as it stands (a readout
  // after a stop). False when the port could not be opened.
  bool Resume(JobKind kind);
  // Starts a job on the open port, as the host's handlers do.
  void Begin(JobKind kind);
  // Handles the queued messages until `done` holds (true) or the limit passes (false).
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Handles what is queued now and what arrives within `quiet`.
  void Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(50));
  // Releases Start: StopLink. Returns how long the worker took to end afterwards.
  std::chrono::milliseconds StopAndWait();

  TDevice& Device() { return device_; }
  const Setup& Config() const { return setup_; }
  const std::vector<HostMessage>& Messages() const { return messages_; }

  std::vector<int> Results() const;  // WM_WORKER_DONE codes in order
  std::vector<int> Events() const;   // WM_WORKER_STATUS codes in order
  std::vector<std::int64_t> EventValues(int event) const;
  std::vector<std::string> EventTexts(int event) const;
  bool SawResult(int code) const;
  bool SawEvent(int event) const;
  int CountResult(int code) const;
  // The flags of WM_FILES_DONE in order, and the names of the files written.
  std::vector<int> FilesDone() const;
  const std::vector<std::filesystem::path>& Files() const { return files_; }
  // The pages read per record (copied when the read/write job ended), newest record first.
  const std::vector<std::vector<TPage>>& PagesRead() const { return pagesRead_; }

 private:
  void Handle(const HostMessage& m);
  void OnStatus(int event);
  void OnDone(int code);
  void SelectRecords();
  void StartFileWorker();
  void Shutdown();

  Setup setup_;
  MessageQueue queue_;  // before the workers that post to it: destroyed after them
  TDevice device_;
  bool running_ = false;
  int hangUps_ = 0;
  bool filesPending_ = false;     // a file worker runs and has not reported yet
  bool nextCallPending_ = false;  // the next call starts when it has
  std::vector<HostMessage> messages_;
  std::vector<std::filesystem::path> files_;
  std::vector<std::vector<TPage>> pagesRead_;
  std::unique_ptr<TFileThread> fileThread_;
};

// Year and month (1-12) of a device time.
void DeviceYearMonth(std::uint32_t deviceSeconds, int& year, int& month);

}  // namespace varnel::testing
