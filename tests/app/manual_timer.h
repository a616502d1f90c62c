#pragma once
#include <memory>
#include <vector>

#include "app/logic_timer.h"

namespace varnel::test {

// Timers that fire only when the test says so.
class ManualTimer : public LogicTimer {
 public:
  void Start(int periodMs) override {
    active = true;
    period = periodMs;
  }
  void Stop() override { active = false; }
  bool IsActive() const override { return active; }
  // Fires once when running; returns whether it fired.
  bool Fire() {
    if (!active) return false;
    if (OnTimeout) OnTimeout();
    return true;
  }
  bool active = false;
  int period = 0;
};

class ManualTimerFactory : public TimerFactory {
 public:
  std::unique_ptr<LogicTimer> Create() override {
    auto t = std::make_unique<ManualTimer>();
    made.push_back(t.get());
    return t;
  }
  // In the order the logic creates them: ClockTimer, RestartTimer, ActivityTimer.
  std::vector<ManualTimer*> made;
};

}  // namespace varnel::test
