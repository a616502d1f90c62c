#include "workers/message_queue.h"

#include <utility>

namespace varnel {

void MessageQueue::Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
                        std::string text) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({message, wParam, lParam, std::move(text), Clock::now()});
  }
  queued_.notify_all();
}

std::optional<WorkerMessage> MessageQueue::Take(Clock::time_point until) {
  std::unique_lock lock(mutex_);
  if (!queued_.wait_until(lock, until, [&] { return !queue_.empty(); })) return std::nullopt;
  WorkerMessage message = std::move(queue_.front());
  queue_.pop_front();
  return message;
}

}  // namespace varnel
