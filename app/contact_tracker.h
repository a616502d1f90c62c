#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "common/contact_figures.h"
#include "device/device.h"
#include "workers/job_kind.h"

// Follows the workers' messages of a run and assembles the figures of each contact with a
// logger. A contact opens with the modem connection or the first word of a logger; it ends
// when the line is gone (hang-up, countdown, next job, stop, a direct readout done) and the
// file worker has handed over its files. Then the figures go to the sink.
namespace varnel {

class ContactTracker {
 public:
  // `lineBytes` reads the running count of bytes on the line; `failed` is told when the
  // sink refused a contact.
  ContactTracker(ContactService& sink, std::function<std::uint64_t()> lineBytes,
                 std::function<void(const std::string&)> failed);

  // Called by the window logic as each of these happens, before it acts on it.
  void JobStarted(JobKind kind, bool modem);
  void WorkerStatus(int code, std::int64_t value, const TDevice& device);
  void WorkerDone(int code, const TDevice& device, bool modem);
  void FilesDone(std::int64_t flag, const TDevice& device, bool modem);
  // The data folder could not take this contact's files: they go to the fallback folder.
  void FilesInFallbackFolder();
  // Start released; `workerRunning`: a worker may still post its end.
  void RunStopped(bool workerRunning);
  // The program closes: an open contact is written as it stands.
  void Flush();

  bool ContactOpen() const { return open_; }
  // Counts the contacts opened: tells the files of one contact from those of the next.
  std::uint64_t Contact() const { return contacts_; }

 private:
  void Open();
  void FinishIfDone();
  void Finish();

  ContactService& sink_;
  std::function<std::uint64_t()> lineBytes_;
  std::function<void(const std::string&)> failed_;

  bool open_ = false;
  std::uint64_t contacts_ = 0;
  ContactFigures c_;
  std::chrono::system_clock::time_point start_{};
  std::uint64_t bytesAtStart_ = 0;
  // Where the next contact starts when its first word comes (a direct job's start).
  std::optional<std::chrono::system_clock::time_point> pendingStart_;
  std::uint64_t pendingBytes_ = 0;
  bool lineEnded_ = false;
  bool filesPending_ = false;
  bool stopping_ = false;
  bool sawPartial_ = false;
  bool sawRead_ = false;
  bool sawNoRecord_ = false;
  bool sawChanged_ = false;
  bool sawNoCommunication_ = false;
  bool readingEnded_ = false;         // the contents or records reading is over
  bool stoppedWhileReading_ = false;  // Start released (or the program ended) before that
  bool filesFailed_ = false;          // the file worker did not write every file
  bool filesInFallback_ = false;
};

}  // namespace varnel
