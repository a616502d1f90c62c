#pragma once
#include <QObject>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>

#include "workers/post_target.h"

// Carries the workers' messages to the main thread, in the order each thread posted them,
// and runs the file worker's reads of the device image there.
//
// The messages wait in a queue of this object under its own lock; a Qt event only wakes the
// main thread. Handing the data over under a standard lock (not only through Qt's event
// queue) makes the order of the two threads' memory accesses plain to the thread checker as
// well as to the compiler.
namespace varnel {

class WorkerEventPump : public QObject, public PostTarget, public SyncTarget {
 public:
  using Handler =
      std::function<void(unsigned message, std::int64_t wParam, std::int64_t lParam,
                         const std::string& text)>;

  // The pump lives on the thread that creates it; `handler` runs there.
  explicit WorkerEventPump(Handler handler);
  ~WorkerEventPump() override;

  void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
            std::string text = {}) override;

  // Runs the call on the pump's thread and waits for it; refused (false) once shutting down.
  bool Synchronize(const std::function<void()>& call) override;

  // From now on Synchronize refuses and messages are dropped unhandled. Calls already
  // queued still run when the main thread handles its events.
  void SetShuttingDown() { shuttingDown_ = true; }
  bool ShuttingDown() const { return shuttingDown_; }

  // Messages posted and not yet handled (or dropped).
  int Pending() const;

 protected:
  void customEvent(QEvent* event) override;

 private:
  struct Entry {
    unsigned Message = 0;
    std::int64_t WParam = 0;
    std::int64_t LParam = 0;
    std::string Text;
    const std::function<void()>* Call = nullptr;  // a synchronised call instead of a message
    std::promise<bool>* Done = nullptr;
  };
  // Queues the entry and wakes the pump's thread; with the lock held.
  void Enqueue(Entry entry);

  Handler handler_;
  std::atomic<bool> shuttingDown_{false};
  mutable std::mutex mutex_;
  std::deque<Entry> queue_;
  int pendingMessages_ = 0;
};

}  // namespace varnel
