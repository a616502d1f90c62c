// The stop event on POSIX: an eventfd (Linux) or a self-pipe that polls readable while the
// event is set. Consuming drains it, so several signals before a wait release one wait only.
#include "link/port_event.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#ifdef __linux__
#include <sys/eventfd.h>
#endif

namespace varnel {

PortEvent::PortEvent() {
#ifdef __linux__
  readFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  writeFd_ = readFd_;
#else
  int fds[2];
  if (::pipe(fds) == 0) {
    for (int fd : fds) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
  }
#endif
}

PortEvent::~PortEvent() {
  if (writeFd_ >= 0 && writeFd_ != readFd_) ::close(writeFd_);
  if (readFd_ >= 0) ::close(readFd_);
}

bool PortEvent::Valid() const { return readFd_ >= 0; }

void PortEvent::Signal() {
  if (writeFd_ < 0) return;
#ifdef __linux__
  const std::uint64_t one = 1;
  // A full counter (never reached) or EAGAIN leaves the event set, which is all we need.
  while (::write(writeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
#else
  const char one = 1;
  while (::write(writeFd_, &one, 1) < 0 && errno == EINTR) {
  }
#endif
}

bool PortEvent::TryConsume() {
  if (readFd_ < 0) return false;
#ifdef __linux__
  std::uint64_t value = 0;
  for (;;) {
    const ssize_t r = ::read(readFd_, &value, sizeof value);
    if (r == static_cast<ssize_t>(sizeof value)) return true;
    if (r < 0 && errno == EINTR) continue;
    return false;
  }
#else
  char drain[64];
  bool got = false;
  for (;;) {
    const ssize_t r = ::read(readFd_, drain, sizeof drain);
    if (r > 0) {
      got = true;
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    return got;
  }
#endif
}

bool PortEvent::Wait(int timeoutMs) {
  if (readFd_ < 0) return false;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    if (TryConsume()) return true;
    int waitMs = -1;
    if (timeoutMs >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      waitMs = static_cast<int>(left.count());
    }
    pollfd p{readFd_, POLLIN, 0};
    const int r = ::poll(&p, 1, waitMs);
    if (r < 0 && errno != EINTR) return false;
  }
}

}  // namespace varnel
