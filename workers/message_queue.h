#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "workers/post_target.h"

namespace varnel {

// One message as a worker posted it.
struct WorkerMessage {
  unsigned message = 0;
  std::int64_t wParam = 0;
  std::int64_t lParam = 0;
  std::string text;
  std::chrono::steady_clock::time_point posted;  // when Post was called
};

// The queue between the workers and a host without an event loop of its own (the console
// reader, the test hosts, the benchmarks): workers post from their threads, the host's main
// thread takes the messages in the order they were posted.
class MessageQueue : public PostTarget {
 public:
  using Clock = std::chrono::steady_clock;

  MessageQueue() = default;
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
            std::string text = {}) override;

  // The next message, waiting for one until `until` at most; std::nullopt when none came.
  std::optional<WorkerMessage> Take(Clock::time_point until);
  std::optional<WorkerMessage> Take(Clock::duration wait) { return Take(Clock::now() + wait); }

 private:
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<WorkerMessage> queue_;
};

}  // namespace varnel
