#pragma once
#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Work that may take long (a big file, a big history) runs on a thread of its own so the
// window stays responsive; its result comes back on the owner's thread through its event
// loop. An owner that is gone by then never sees it: the result is dropped.
namespace varnel {

class BackgroundWork {
 public:
  explicit BackgroundWork(QObject* owner) : guard_(std::make_shared<Guard>()) {
    guard_->Owner = owner;
  }
  // Results of work still running are dropped; the threads end on their own.
  ~BackgroundWork() {
    std::lock_guard<std::mutex> lock(guard_->Mutex);
    guard_->Owner = nullptr;
  }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // Runs work() on a new thread, then done(result) on the owner's thread.
  template <typename Result>
  void Run(std::function<Result()> work, std::function<void(Result)> done) {
    std::thread([guard = guard_, work = std::move(work), done = std::move(done)]() mutable {
      auto result = std::make_shared<Result>(work());
      // Posted under the lock: the owner cannot be destroyed between the test and the post,
      // and a destroyed owner's posted calls are discarded with it.
      std::lock_guard<std::mutex> lock(guard->Mutex);
      if (!guard->Owner) return;
      QMetaObject::invokeMethod(
          guard->Owner, [done = std::move(done), result] { done(std::move(*result)); },
          Qt::QueuedConnection);
    }).detach();
  }

 private:
  struct Guard {
    std::mutex Mutex;
    QObject* Owner = nullptr;
  };
  std::shared_ptr<Guard> guard_;
};

}  // namespace varnel
