#include "app/logic_timer.h"

#include <QObject>
#include <QTimer>

namespace varnel {

namespace {

class QtLogicTimer : public LogicTimer {
 public:
  QtLogicTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (OnTimeout) OnTimeout();
    });
  }
  void Start(int periodMs) override { timer_.start(periodMs); }
  void Stop() override { timer_.stop(); }
  bool IsActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

std::unique_ptr<LogicTimer> QtTimerFactory::Create() { return std::make_unique<QtLogicTimer>(); }

}  // namespace varnel
