#include "notify/mail_queue.h"

#include <algorithm>

#include "notify/smtp_sender.h"

namespace varnel::notify {

MailQueue::MailQueue(MailSettings settings, Report report, Duration firstRetry,
                     Duration longestRetry)
    : settings_(std::move(settings)),
      report_(std::move(report)),
      firstRetry_(std::max(firstRetry, Duration(1))),
      longestRetry_(std::max(longestRetry, firstRetry_)),
      thread_([this] { Run(); }) {}

MailQueue::~MailQueue() { Stop(); }

void MailQueue::Add(MailMessage message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(message));
  }
  wake_.notify_all();
}

void MailQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::vector<MailMessage> MailQueue::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {queue_.begin(), queue_.end()};
}

void MailQueue::Run() {
  Duration retry = firstRetry_;
  int attempt = 0;
  int refusals = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    // A copy: Pending() may be called during the attempt, and the head stays in the queue
    // until it is delivered.
    const MailMessage message = queue_.front();
    lock.unlock();
    ++attempt;
    MailAttempt outcome;
    bool refused = false;
    outcome.Error = SendMail(settings_, message, &stop_, &refused);
    lock.lock();
    if (stop_ && !outcome.Error.empty()) return;  // given up, not failed: nothing to report
    outcome.Attempt = attempt;
    if (refused) ++refusals;
    outcome.GivenUp = refusals >= kMailRefusals;
    if (outcome.Error.empty() || outcome.GivenUp) {
      queue_.pop_front();
      attempt = 0;
      refusals = 0;
      retry = firstRetry_;
    } else {
      outcome.RetryIn = retry;
    }
    outcome.Waiting = queue_.size();
    outcome.Message = message;
    if (report_) {
      lock.unlock();
      try {
        report_(outcome);
      } catch (...) {
        // A log that failed must not end the program from this thread.
      }
      lock.lock();
    }
    if (!outcome.Error.empty() && !outcome.GivenUp) {
      wake_.wait_for(lock, retry, [this] { return stop_.load(); });
      retry = std::min(retry * 2, longestRetry_);
    }
  }
}

}  // namespace varnel::notify
