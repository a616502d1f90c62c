#include "workers/link_facade.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/link_state.h"
#include "workers/cont_thread.h"
#include "workers/read_write_thread.h"

namespace varnel {

namespace {

constexpr std::uint32_t kLinkBaudRate = 9600;
constexpr int kBeforeCloseMs = 500;

// The threads of the workers started so far. A worker frees itself when its job ends;
// the registry only keeps its thread so that a host can wait for it to end. Finished
// threads are joined when the next job starts or when the host waits.
class WorkerThreads {
 public:
  void Start(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    JoinFinished();
    auto entry = std::make_unique<Entry>();
    Entry* e = entry.get();
    e->thread = std::thread([this, e, job = std::move(job)]() mutable {
      job();
      job = nullptr;  // the worker is freed before it counts as ended
      {
        std::lock_guard inner(mutex_);
        e->finished = true;
      }
      changed_.notify_all();
    });
    entries_.push_back(std::move(entry));
  }

  bool WaitAll(int timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto allFinished = [this] {
      for (const auto& e : entries_) {
        if (!e->finished) return false;
      }
      return true;
    };
    bool done = true;
    if (timeoutMs < 0) {
      changed_.wait(lock, allFinished);
    } else {
      done = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), allFinished);
    }
    JoinFinished();
    return done;
  }

  bool AnyRunning() {
    std::lock_guard lock(mutex_);
    for (const auto& e : entries_) {
      if (!e->finished) return true;
    }
    return false;
  }

 private:
  struct Entry {
    std::thread thread;
    bool finished = false;
  };

  // With the lock held. A finished thread has left its job; joining only waits for the
  // thread's last instructions.
  void JoinFinished() {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if ((*it)->finished) {
        (*it)->thread.join();
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Entry>> entries_;
};

// Never destroyed: a thread that a host left running at exit must not take the process
// down with it (and the link state it uses lives as long).
WorkerThreads& Threads() {
  static auto* threads = new WorkerThreads;
  return *threads;
}

}  // namespace

JobWorker WorkerOf(JobKind kind) {
  switch (kind) {
    case kJobModemContents:
    case kJobNextCall:
    case kJobDirectContents:
      return JobWorker::Contents;
    case kJobReadRecords:
    case kJobReadRecordsToo:
    case kJobHangUp:
      return JobWorker::ReadWrite;
    default:
      return JobWorker::None;
  }
}

bool LinkOpen(std::int16_t portNumber, std::int16_t timeoutMs) {
  return PortOpen(portNumber, timeoutMs, kLinkBaudRate, true) == 0;
}

std::int16_t LinkClose() {
  std::this_thread::sleep_for(std::chrono::milliseconds(kBeforeCloseMs));
  return PortClose();
}

void StartJob(PostTarget& window, JobKind kind, TDevice& device) {
  ClearCancel();
  SetRetryMode(false);
  switch (WorkerOf(kind)) {
    case JobWorker::Contents: {
      auto worker = std::make_shared<TContThread>(window, kind, device);
      Threads().Start([worker] { worker->Execute(); });
      break;
    }
    case JobWorker::ReadWrite: {
      auto worker = std::make_shared<TReadWriteThread>(window, kind, device);
      Threads().Start([worker] { worker->Execute(); });
      break;
    }
    case JobWorker::None:
      break;
  }
}

void StopLink() {
  SignalPortEvent();
  SetCancel();
  PortClose();
}

bool WaitForWorker(int timeoutMs) { return Threads().WaitAll(timeoutMs); }

bool WorkerRunning() { return Threads().AnyRunning(); }

std::int16_t SetLinkEcho(bool on) { return SetEchoMode(on); }
std::int16_t SetLinkModem(bool on) { return SetModemMode(on); }

}  // namespace varnel
