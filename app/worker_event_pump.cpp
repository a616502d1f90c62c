#include "app/worker_event_pump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <utility>

namespace varnel {

namespace {

const QEvent::Type kWakeType = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

WorkerEventPump::WorkerEventPump(Handler handler) : handler_(std::move(handler)) {}

WorkerEventPump::~WorkerEventPump() {
  std::lock_guard lock(mutex_);
  QCoreApplication::removePostedEvents(this, kWakeType);
  // Nobody may be left waiting for a call that will never run.
  for (Entry& e : queue_) {
    if (e.Done) e.Done->set_value(false);
  }
  queue_.clear();
}

void WorkerEventPump::Enqueue(Entry entry) {
  queue_.push_back(std::move(entry));
  // One wake-up per entry; each handles the entry at the front.
  QCoreApplication::postEvent(this, new QEvent(kWakeType));
}

void WorkerEventPump::Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
                           std::string text) {
  std::lock_guard lock(mutex_);
  ++pendingMessages_;
  Enqueue({message, wParam, lParam, std::move(text), nullptr, nullptr});
}

bool WorkerEventPump::Synchronize(const std::function<void()>& call) {
  if (shuttingDown_) return false;
  if (QThread::currentThread() == thread()) {
    call();
    return true;
  }
  std::promise<bool> done;
  std::future<bool> ran = done.get_future();
  {
    std::lock_guard lock(mutex_);
    Enqueue({0, 0, 0, {}, &call, &done});
  }
  // The main thread keeps handling events while it waits for the workers at shutdown, so
  // a call queued before the refusal still runs and neither thread waits for ever.
  const bool result = ran.get();
  { std::lock_guard lock(mutex_); }
  return result;
}

int WorkerEventPump::Pending() const {
  std::lock_guard lock(mutex_);
  return pendingMessages_;
}

void WorkerEventPump::customEvent(QEvent* event) {
  Entry entry;
  {
    // A worker made the wake-up event under this lock and Qt hands it over with its own
    // synchronisation, which the thread checker cannot see: take the lock before the event
    // is touched, so the hand-over is visible to it too.
    std::lock_guard lock(mutex_);
    if (event->type() != kWakeType) return;
    if (queue_.empty()) return;
    entry = std::move(queue_.front());
    queue_.pop_front();
  }
  if (entry.Call) {
    (*entry.Call)();
    // The promise hands the result over in ways the thread checker cannot see; a pass
    // through the lock on both sides shows it what the call wrote.
    { std::lock_guard lock(mutex_); }
    entry.Done->set_value(true);
    return;
  }
  if (!shuttingDown_ && handler_) handler_(entry.Message, entry.WParam, entry.LParam, entry.Text);
  // Counted down after handling, so that "nothing pending" also means "nothing in hand".
  std::lock_guard lock(mutex_);
  --pendingMessages_;
}

}  // namespace varnel
