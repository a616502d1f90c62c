#pragma once
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <chrono>
#include <condition_variable>
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
    // The program does not end under a thread still reading (a history, a file): the
    // application waits a little for them as it shuts down.
    static std::once_flag once;
    std::call_once(once, [] { qAddPostRoutine(&BackgroundWork::WaitForAll); });
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
    {
      std::lock_guard<std::mutex> lock(Running().Mutex);
      ++Running().Count;
    }
    std::thread([guard = guard_, work = std::move(work), done = std::move(done)]() mutable {
      auto result = std::make_shared<Result>(work());
      {
        // Posted under the lock: the owner cannot be destroyed between the test and the
        // post, and a destroyed owner's posted calls are discarded with it.
        std::lock_guard<std::mutex> lock(guard->Mutex);
        if (guard->Owner) {
          QMetaObject::invokeMethod(
              guard->Owner, [done = std::move(done), result] { done(std::move(*result)); },
              Qt::QueuedConnection);
        }
      }
      std::lock_guard<std::mutex> lock(Running().Mutex);
      --Running().Count;
      Running().Ended.notify_all();
    }).detach();
  }

 private:
  struct Threads {
    std::mutex Mutex;
    std::condition_variable Ended;
    int Count = 0;
  };
  static Threads& Running() {
    static Threads threads;
    return threads;
  }
  static void WaitForAll() {
    std::unique_lock<std::mutex> lock(Running().Mutex);
    Running().Ended.wait_for(lock, std::chrono::seconds(10), [] { return Running().Count == 0; });
  }

  struct Guard {
    std::mutex Mutex;
    QObject* Owner = nullptr;
  };
  std::shared_ptr<Guard> guard_;
};

}  // namespace varnel
