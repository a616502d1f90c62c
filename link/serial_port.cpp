#include "link/serial_port.h"

namespace varnel {

namespace {
// Gap between two reply bytes after which a read ends, and the write limit of every set.
constexpr std::uint32_t kByteGapMs = 400;
constexpr std::uint32_t kWriteLimitMs = 200;
// Total for each later byte once a modem has started to answer.
constexpr std::uint32_t kLaterBytesMs = 500;
}  // namespace

CommTimeouts StandardTimeouts(int replyTimeoutMs) {
  CommTimeouts t;
  t.readInterval = kByteGapMs;
  t.readTotalConstant = replyTimeoutMs > 0 ? static_cast<std::uint32_t>(replyTimeoutMs) : 0;
  t.writeTotalConstant = kWriteLimitMs;
  return t;
}

CommTimeouts AfterFirstByteTimeouts() {
  CommTimeouts t;
  t.readInterval = kByteGapMs;
  t.readTotalConstant = kLaterBytesMs;
  t.writeTotalConstant = kWriteLimitMs;
  return t;
}

CommTimeouts WakeByteTimeouts() {
  CommTimeouts t;
  t.writeTotalConstant = kWriteLimitMs;
  return t;
}

}  // namespace varnel
