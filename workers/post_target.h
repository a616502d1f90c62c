#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace varnel {

// Where a worker reports: the host (the main window, a console front end, a test) queues
// each message for its own main thread and handles it there. Workers never touch the host
// in any other way.
class PostTarget {
 public:
  virtual ~PostTarget() = default;

  // Queues one message and returns at once; safe from any thread. Messages arrive in the
  // order one thread posted them. `text` carries a value that must travel with the message
  // because the worker may overwrite its field before the host handles it -- the modem text
  // of wsModemWrite and wsModemRead; it is empty for every other message.
  virtual void Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
                    std::string text = {}) = 0;
};

// The host's main thread, for the file worker's reads of the device image, which the main
// thread owns.
class SyncTarget {
 public:
  virtual ~SyncTarget() = default;

  // Runs `call` on the main thread and returns after it has run: true. When the host is
  // shutting down (its main thread may be waiting for this worker to end) it returns false
  // without running the call, and the worker stops: the two threads never wait for each
  // other.
  virtual bool Synchronize(const std::function<void()>& call) = 0;
};

}  // namespace varnel
