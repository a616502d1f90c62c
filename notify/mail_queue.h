#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "notify/mail_message.h"
#include "notify/mail_settings.h"

namespace varnel::notify {

// The outcome of one attempt to send a message, for the program's log.
struct MailAttempt {
  MailMessage Message;
  std::string Error;  // empty: delivered
  int Attempt = 1;    // 1 for the first attempt at this message
  std::chrono::milliseconds RetryIn{0};  // after a failure: the wait before the next attempt
  std::size_t Waiting = 0;               // messages left to deliver after this attempt
  bool GivenUp = false;  // refused by the server kMailRefusals times: dropped, not retried
};

// A message the server refuses for good (550 and the like) is tried this often, then
// dropped: one bad address must not hold back every alert behind it for ever.
inline constexpr int kMailRefusals = 3;

// Sends the messages handed over on a thread of its own, one after the other in the order
// they came. A failed attempt is retried after a wait that starts at `firstRetry` and
// doubles up to `longestRetry`; the message stays at the head, so later messages do not
// overtake it, unless the server refused it for good kMailRefusals times. A delivery
// resets the wait. Add() never waits for the network.
//
// To change the settings: Stop(), take Pending(), and hand them to a new queue.
class MailQueue {
 public:
  using Report = std::function<void(const MailAttempt&)>;
  using Duration = std::chrono::milliseconds;

  // `report` is called on the queue's thread after each attempt (it may be empty; it must
  // not call Stop()).
  MailQueue(MailSettings settings, Report report,
            Duration firstRetry = std::chrono::seconds(30),
            Duration longestRetry = std::chrono::minutes(15));
  MailQueue(const MailQueue&) = delete;
  MailQueue& operator=(const MailQueue&) = delete;
  // Stop().
  ~MailQueue();

  void Add(MailMessage message);
  // Ends the thread: at once while it waits, within about a second during an attempt
  // (the attempt is given up and its message kept). Messages added afterwards stay pending.
  void Stop();
  // The messages not delivered yet, oldest first (after Stop(): those to keep for later).
  std::vector<MailMessage> Pending() const;

 private:
  void Run();

  const MailSettings settings_;
  const Report report_;
  const Duration firstRetry_;
  const Duration longestRetry_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<MailMessage> queue_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace varnel::notify
