#pragma once
#include <memory>

namespace varnel {

// An auto-reset event, the stop event of the link. Signalled once, it releases exactly one
// wait: the one in progress, or the next one to start when nobody waits yet. Signalling an
// already signalled event changes nothing. A fresh event is not signalled; workers "reset"
// the link's event by creating a new one (CreatePortEvent in link_state.h).
//
// The serial port's overlapped-style operations take the event so that a stop from another
// thread releases their waits at once, without waiting for a byte or a time limit.
class PortEvent {
public:
  PortEvent();
  ~PortEvent();
  PortEvent(const PortEvent&) = delete;
  PortEvent& operator=(const PortEvent&) = delete;

  // False when the operating system refused to create the event; it then never signals.
  bool Valid() const;

  // Sets the event; one waiter (current or next) is released and the event resets.
  void Signal();

  // Waits up to timeoutMs (negative: without limit) for the event and consumes it.
  // True when the event was signalled, false on time-out.
  bool Wait(int timeoutMs);

  // Consumes a pending signal without waiting; true when there was one.
  bool TryConsume();

#ifdef _WIN32
  // The event handle (HANDLE) for overlapped records and WaitForSingleObject.
  void* NativeHandle() const { return handle_; }
#else
  // A descriptor that polls readable while the event is signalled; consume it with
  // TryConsume (two waiters may see it readable, only one of them consumes it).
  int NativeFd() const { return readFd_; }
#endif

private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int readFd_ = -1;
  int writeFd_ = -1;  // same as readFd_ when the event is an eventfd
#endif
};

}  // namespace varnel
