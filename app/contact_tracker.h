#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "common/contact_figures.h"
#include "device/device.h"
#include "workers/job_kind.h"

// Follows the workers' messages of a run and assembles the figures of each contact with a
// logger. A contact opens with the modem connection or the first word of a logger (and the
// sink is told at once); it ends when the line is gone (hang-up, countdown, next job, stop, a
// direct readout done) and the file worker has handed over its files. Then the figures go to
// the sink. A contact whose line went while its files are still being written waits for them
// beside the next contact, which may already have begun.
namespace varnel {

class ContactTracker {
 public:
  // Where the calls are taken, as each contact opens.
  struct Place {
    std::string Collector;  // the PC's host name
    int Port = 0;
    std::string DataFolder;
  };

  // `lineBytes` reads the running count of bytes on the line; `failed` is told when the
  // sink refused a contact; `place` (when given) tells where the calls are taken.
  ContactTracker(ContactService& sink, std::function<std::uint64_t()> lineBytes,
                 std::function<void(const std::string&)> failed,
                 std::function<Place()> place = {});

  // Called by the window logic as each of these happens, before it acts on it.
  void JobStarted(JobKind kind, bool modem);
  void WorkerStatus(int code, std::int64_t value, const TDevice& device);
  void WorkerDone(int code, const TDevice& device, bool modem);
  // The file worker of contact `contact` (a value of Contact()) ended.
  void FilesDone(std::uint64_t contact, std::int64_t flag, const TDevice& device, bool modem);
  // The data folder could not take this contact's files: they go to the fallback folder.
  void FilesInFallbackFolder();
  // Start released; `workerRunning`: a worker may still post its end.
  void RunStopped(bool workerRunning);
  // The program closes: an open contact is written as it stands.
  void Flush();

  bool ContactOpen() const { return open_; }
  // Contacts whose line has gone and whose files are still being written.
  std::size_t ContactsAwaitingFiles() const { return awaiting_.size(); }
  // Counts the contacts opened: tells the files of one contact from those of the next.
  std::uint64_t Contact() const { return contacts_; }

 private:
  // What is kept of one contact from its start to its end.
  struct State {
    ContactFigures c;
    std::chrono::system_clock::time_point start{};
    std::uint64_t bytesAtStart = 0;
    bool lineEnded = false;
    bool filesPending = false;
    bool stopping = false;
    bool sawPartial = false;
    bool sawRead = false;
    bool sawNoRecord = false;
    bool sawChanged = false;
    bool sawNoCommunication = false;
    bool readingEnded = false;         // the contents or records reading is over
    bool stoppedWhileReading = false;  // Start released (or the program ended) before that
    bool filesFailed = false;          // the file worker did not write every file
    bool filesInFallback = false;
  };

  void Open();
  // The open contact's line is over: it ends now, or once its files have come.
  void LineEnded();
  void FinishIfDone();
  void Finish(State& s);
  void TakeFiles(State& s, std::int64_t flag, const TDevice& d);

  ContactService& sink_;
  std::function<std::uint64_t()> lineBytes_;
  std::function<void(const std::string&)> failed_;
  std::function<Place()> place_;

  bool open_ = false;
  std::uint64_t contacts_ = 0;
  State s_;  // the open contact
  std::map<std::uint64_t, State> awaiting_;  // by number: line gone, files still coming
  // Where the next contact starts when its first word comes (a direct job's start).
  std::optional<std::chrono::system_clock::time_point> pendingStart_;
  std::uint64_t pendingBytes_ = 0;
};

}  // namespace varnel
