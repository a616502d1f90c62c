#pragma once
#include <functional>
#include <memory>

// The window's periodic timers behind an interface, so that a test can run a countdown of
// minutes at once.
namespace varnel {

class LogicTimer {
 public:
  virtual ~LogicTimer() = default;
  // Fires OnTimeout every periodMs until stopped; a running timer starts its period again.
  virtual void Start(int periodMs) = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;

  std::function<void()> OnTimeout;
};

class TimerFactory {
 public:
  virtual ~TimerFactory() = default;
  virtual std::unique_ptr<LogicTimer> Create() = 0;
};

// Timers of the Qt event loop of the calling thread.
class QtTimerFactory : public TimerFactory {
 public:
  std::unique_ptr<LogicTimer> Create() override;
};

}  // namespace varnel
