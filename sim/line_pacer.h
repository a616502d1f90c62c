#pragma once
#include <cstddef>
#include <cstdint>

namespace varnel::sim {

// Paces bytes as a serial line of the given baud rate would carry them: ten bit times a
// byte (start bit, eight data bits, stop bit). One pacer per direction: the bytes the
// logger and the modem send, and the bytes the host sends, which a pseudo-terminal would
// otherwise deliver at once. Times are
// nanoseconds of a monotonic clock. The schedule is absolute, so a late wake-up is made up
// by the next bytes and the mean rate stays exact.
class LinePacer {
 public:
  explicit LinePacer(unsigned baud)
      : periodNs_(baud == 0 ? 0 : static_cast<std::int64_t>(10'000'000'000ll / baud)) {}

  bool paced() const { return periodNs_ > 0; }
  std::int64_t periodNs() const { return periodNs_; }

  // Books the line for n bytes that are to leave no earlier than nowNs and returns when the
  // line starts carrying them; byte i has arrived at the far end at that time + (i + 1)
  // periods. A transmission booked while the line is still busy queues behind the one
  // before.
  std::int64_t Schedule(std::int64_t nowNs, std::size_t n) {
    const std::int64_t first = nowNs > nextFreeNs_ ? nowNs : nextFreeNs_;
    nextFreeNs_ = first + static_cast<std::int64_t>(n) * periodNs_;
    return first;
  }

 private:
  std::int64_t periodNs_;
  std::int64_t nextFreeNs_ = 0;
};

}  // namespace varnel::sim
