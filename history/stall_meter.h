#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// How long the window's event loop went without turning: a timer due every few
// milliseconds notes the longest time between two of its firings. Measures a session of
// the views in the benchmark and in tests; costs nothing when not started.
namespace varnel {

class StallMeter : public QObject {
 public:
  explicit StallMeter(int intervalMs = 5, QObject* parent = nullptr) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      longest_ = std::max(longest_, clock_.nsecsElapsed() / 1e6);
      clock_.restart();
    });
  }

  // Starts afresh.
  void Start() {
    longest_ = 0;
    clock_.start();
    timer_.start();
  }
  void Stop() { timer_.stop(); }
  // The longest time between two turns so far, in milliseconds (the timer's own interval
  // included: a loop that never stalls shows about that).
  double LongestMs() const { return std::max(longest_, timer_.isActive() ? clock_.nsecsElapsed() / 1e6 : 0.0); }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  double longest_ = 0;
};

}  // namespace varnel
