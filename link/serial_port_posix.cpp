// The serial port on POSIX systems: termios for the line, a non-blocking descriptor and
// poll() for every wait. Each wait also watches a private eventfd that Close() sets, so a
// close from another thread ends it at once; the descriptor itself is closed only by the
// destructor, when the last holder of the port lets go.
//
// A terminal whose device has gone (a USB adapter unplugged, the far end of a
// pseudo-terminal closed) is hung up for good: poll() reports POLLHUP at once for ever,
// reads give end of input or EIO, writes EIO. The port then counts as vanished and every
// operation fails at once, so no wait turns into a busy loop; only opening the device anew
// can bring the line back.
//
// The time limits of CommTimeouts are measured here with a steady clock, since the
// terminal driver's own VMIN/VTIME cannot express a total limit together with a gap limit.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/eventfd.h>
#endif

#include "link/port_names.h"
#include "link/serial_port.h"

namespace varnel {

namespace {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

// A read interval of this value with no totals means "return at once with what is there".
constexpr std::uint32_t kIntervalReturnAtOnce = 0xFFFFFFFFu;

Deadline After(Clock::time_point from, std::uint64_t ms) {
  return from + std::chrono::milliseconds(ms);
}

const Deadline& Earlier(const Deadline& a, const Deadline& b) {
  if (!a) return b;
  if (!b) return a;
  return *b < *a ? b : a;
}

// Milliseconds until the deadline for poll(), rounded up so that a wait never ends early;
// -1 without a deadline.
int PollTimeout(const Deadline& d) {
  if (!d) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*d - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

bool Passed(const Deadline& d) { return d && Clock::now() >= *d; }

speed_t SpeedOf(std::uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

}  // namespace

// A device without modem-control lines (a pseudo-terminal, a USB adapter whose driver
// has no line control) refuses TIOCMBIS with ENOTTY; such a device works without the
// lines. Any other error is a real port failing, which must not open with DTR low.
bool LacksControlLines(int err) { return err == ENOTTY; }

namespace {
// The errors with which a terminal answers once its device is gone.
bool DeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV; }
}  // namespace

namespace {

class PosixSerialPort final : public SerialPort {
public:
  PosixSerialPort(int fd, int wakeReadFd, int wakeWriteFd)
      : fd_(fd), wakeReadFd_(wakeReadFd), wakeWriteFd_(wakeWriteFd) {}

  ~PosixSerialPort() override {
#ifdef TIOCNXCL
    // The exclusive mark can outlive the descriptor on a pseudo-terminal.
    ::ioctl(fd_, TIOCNXCL);
#endif
    ::close(fd_);
    if (wakeWriteFd_ != wakeReadFd_) ::close(wakeWriteFd_);
    ::close(wakeReadFd_);
  }

  bool ApplyLineSettings(std::uint32_t baudRate) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    const speed_t speed = SpeedOf(baudRate);
    termios tio{};
    if (speed == B0 || ::tcgetattr(fd_, &tio) != 0) return false;
    // Binary 8N1 without any translation, flow control or error replacement.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
    return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
  }

  bool RaiseDtr() override { return RaiseLine(TIOCM_DTR); }
  bool RaiseRts() override { return RaiseLine(TIOCM_RTS); }

  bool SetTimeouts(const CommTimeouts& timeouts) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    timeouts_ = timeouts;
    return true;
  }

  CommTimeouts Timeouts() const override {
    std::lock_guard lock(mutex_);
    return timeouts_;
  }

  // The terminal driver keeps no sticky error state that would block further I/O.
  bool ClearLineError() override {
    std::lock_guard lock(mutex_);
    return !closed_ && !vanished_;
  }

  bool Purge() override {
    std::lock_guard lock(mutex_);
    if (closed_ || vanished_) return false;
    pending_.clear();
    if (::tcflush(fd_, TCIOFLUSH) == 0) return true;
    NoteError(errno);
    return false;
  }

  std::size_t Waiting() override {
    std::lock_guard lock(mutex_);
    if (closed_ || vanished_) return 0;
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) {
      NoteError(errno);
      queued = 0;
    }
    if (queued < 0) queued = 0;
    return pending_.size() + static_cast<std::size_t>(queued);
  }

  IoResult Write(const std::uint8_t* data, std::size_t n, PortEvent* event,
                 int waitLimitMs) override {
    std::lock_guard lock(mutex_);
    return WriteLocked(data, n, event, waitLimitMs);
  }

  IoResult WritePlain(const std::uint8_t* data, std::size_t n) override {
    std::lock_guard lock(mutex_);
    return WriteLocked(data, n, nullptr, kNoWaitLimit);
  }

  IoResult Read(std::uint8_t* out, std::size_t n, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(mutex_);
    if (closed_ || vanished_) return {IoStatus::Failed, 0};
    const auto start = Clock::now();
    std::size_t got = TakePending(out, n);

    const CommTimeouts& t = timeouts_;
    const std::uint64_t total =
        static_cast<std::uint64_t>(t.readTotalMultiplier) * n + t.readTotalConstant;
    const bool atOnce = t.readInterval == kIntervalReturnAtOnce && total == 0;
    const Deadline totalDeadline = total > 0 ? After(start, total) : Deadline{};
    const Deadline limitDeadline = waitLimitMs >= 0 ? After(start, waitLimitMs) : Deadline{};
    const bool useGap = t.readInterval > 0 && t.readInterval != kIntervalReturnAtOnce;
    Deadline gapDeadline = (useGap && got > 0) ? After(start, t.readInterval) : Deadline{};

    while (got < n) {
      const ssize_t r = ::read(fd_, out + got, n - got);
      if (r > 0) {
        got += static_cast<std::size_t>(r);
        if (useGap) gapDeadline = After(Clock::now(), t.readInterval);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        NoteError(errno);
        return {IoStatus::Failed, Count(got)};
      }
      // A raw terminal without VMIN answers "nothing yet" with 0 too, so 0 alone does not
      // mean the line is gone; a hung-up line says so when polled.
      if (r == 0 && CheckHungUp()) return {IoStatus::Failed, Count(got)};
      if (atOnce) break;
      const Deadline& ioDeadline = Earlier(totalDeadline, gapDeadline);
      if (Passed(limitDeadline) && !(ioDeadline && *ioDeadline <= *limitDeadline)) {
        return {IoStatus::TimedOut, 0};
      }
      if (Passed(ioDeadline)) break;
      const Outcome o = WaitFor(POLLIN, event, Earlier(ioDeadline, limitDeadline));
      if (o == Outcome::Closed || o == Outcome::Error || o == Outcome::Gone) {
        return {IoStatus::Failed, Count(got)};
      }
    }
    return {IoStatus::Completed, Count(got)};
  }

  IoResult WaitEvent(std::uint32_t mask, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(mutex_);
    if (closed_) return {IoStatus::Completed, 0};
    if (vanished_) return {IoStatus::Failed, 0};
    const Deadline limit =
        waitLimitMs >= 0 ? After(Clock::now(), waitLimitMs) : Deadline{};
    const bool wantChar = (mask & kEvRxChar) != 0;
    const bool wantFlag = (mask & kEvRxFlag) != 0;
    for (;;) {
      if (wantChar && !pending_.empty()) return {IoStatus::Completed, kEvRxChar};
      if (Passed(limit)) return {IoStatus::TimedOut, 0};
      short revents = 0;
      const Outcome o = WaitFor(POLLIN, event, limit, &revents);
      if (o == Outcome::Closed || o == Outcome::Signalled) return {IoStatus::Completed, 0};
      if (o == Outcome::Gone || o == Outcome::Error) return {IoStatus::Failed, 0};
      if (o == Outcome::TimeLimit) continue;
      if (wantChar && (revents & POLLIN)) return {IoStatus::Completed, kEvRxChar};
      if (wantFlag && (revents & POLLIN)) {
        // Keep what arrives so that the caller can still read it after the event.
        std::uint8_t chunk[256];
        const ssize_t r = ::read(fd_, chunk, sizeof chunk);
        if (r > 0) {
          pending_.insert(pending_.end(), chunk, chunk + r);
          if (std::memchr(chunk, kEventChar, static_cast<std::size_t>(r))) {
            return {IoStatus::Completed, kEvRxFlag};
          }
          continue;
        }
        if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (r < 0) NoteError(errno);
        if (r < 0 ? vanished_.load() : CheckHungUp()) return {IoStatus::Failed, 0};
      }
    }
  }

  bool Close() override {
    if (closed_.exchange(true)) return true;
    // The line is free for the next opener at once, even while a worker still holds this
    // object for a moment.
    ::flock(fd_, LOCK_UN);
#ifdef __linux__
    const std::uint64_t one = 1;
    const bool ok = ::write(wakeWriteFd_, &one, sizeof one) == sizeof one;
#else
    const char one = 1;
    const bool ok = ::write(wakeWriteFd_, &one, 1) == 1;
#endif
    return ok;
  }

  bool IsClosed() const override { return closed_; }
  bool Vanished() const override { return vanished_; }

private:
  // Gone: the device hung up (see the top of the file); the port is marked vanished.
  enum class Outcome { Ready, TimeLimit, Closed, Signalled, Error, Gone };

  static std::uint32_t Count(std::size_t n) { return static_cast<std::uint32_t>(n); }

  // Waits until the descriptor shows one of events, the port is closed, the event is
  // signalled (and consumed), the device has gone, or the deadline passes. A read or write
  // treats the signal like the other platform's overlapped I/O: the wait ends, then the
  // operation is awaited further.
  Outcome WaitFor(short events, PortEvent* event, const Deadline& until,
                  short* revents = nullptr) {
    for (;;) {
      pollfd p[3];
      nfds_t count = 0;
      p[count++] = {wakeReadFd_, POLLIN, 0};
      const nfds_t portIndex = count;
      p[count++] = {fd_, events, 0};
      nfds_t eventIndex = 0;
      if (event && event->Valid()) {
        eventIndex = count;
        p[count++] = {event->NativeFd(), POLLIN, 0};
      }
      const int r = ::poll(p, count, PollTimeout(until));
      if (r < 0) {
        if (errno == EINTR) continue;
        return Outcome::Error;
      }
      if (closed_ || (p[0].revents & POLLIN)) return Outcome::Closed;
      if (eventIndex && (p[eventIndex].revents & POLLIN) && event->TryConsume()) {
        if (revents) return Outcome::Signalled;  // event waits end here
        continue;                                // reads and writes go on
      }
      if (p[portIndex].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        vanished_ = true;
        return Outcome::Gone;
      }
      if (p[portIndex].revents) {
        if (revents) *revents = p[portIndex].revents;
        return Outcome::Ready;
      }
      if (r == 0 || Passed(until)) return Outcome::TimeLimit;
    }
  }

  IoResult WriteLocked(const std::uint8_t* data, std::size_t n, PortEvent* event,
                       int waitLimitMs) {
    if (closed_ || vanished_) return {IoStatus::Failed, 0};
    const auto start = Clock::now();
    const std::uint64_t total =
        static_cast<std::uint64_t>(timeouts_.writeTotalMultiplier) * n +
        timeouts_.writeTotalConstant;
    const Deadline writeDeadline = total > 0 ? After(start, total) : Deadline{};
    const Deadline limitDeadline = waitLimitMs >= 0 ? After(start, waitLimitMs) : Deadline{};
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::write(fd_, data + done, n - done);
      if (r > 0) {
        done += static_cast<std::size_t>(r);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        NoteError(errno);
        return {IoStatus::Failed, Count(done)};
      }
      if (Passed(limitDeadline) && !(writeDeadline && *writeDeadline <= *limitDeadline)) {
        return {IoStatus::TimedOut, 0};
      }
      if (Passed(writeDeadline)) break;
      const Outcome o = WaitFor(POLLOUT, event, Earlier(writeDeadline, limitDeadline));
      if (o == Outcome::Closed || o == Outcome::Error || o == Outcome::Gone) {
        return {IoStatus::Failed, Count(done)};
      }
    }
    return {IoStatus::Completed, Count(done)};
  }

  // True (and the port marked vanished) when the line has hung up for good.
  bool CheckHungUp() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      vanished_ = true;
    }
    return vanished_;
  }

  void NoteError(int err) {
    if (DeviceGone(err)) vanished_ = true;
  }

  std::size_t TakePending(std::uint8_t* out, std::size_t n) {
    const std::size_t k = std::min(n, pending_.size());
    std::copy_n(pending_.begin(), k, out);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
    return k;
  }

  bool RaiseLine(int bit) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    if (::ioctl(fd_, TIOCMBIS, &bit) == 0) return true;
    return LacksControlLines(errno);
  }

  const int fd_;
  const int wakeReadFd_;
  const int wakeWriteFd_;
  std::atomic<bool> closed_{false};
  std::atomic<bool> vanished_{false};
  // One operation at a time; guards the time limits and the bytes kept by WaitEvent.
  mutable std::mutex mutex_;
  CommTimeouts timeouts_{};
  std::vector<std::uint8_t> pending_;
};

bool MakeWakeFds(int& readFd, int& writeFd) {
#ifdef __linux__
  readFd = writeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return readFd >= 0;
#else
  int fds[2];
  if (::pipe(fds) != 0) return false;
  for (int fd : fds) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  readFd = fds[0];
  writeFd = fds[1];
  return true;
#endif
}

}  // namespace

std::shared_ptr<SerialPort> OpenSerialPort(int portNumber, bool /*overlapped*/) {
  const std::string path = ResolveComPort(portNumber);
  if (path.empty()) return nullptr;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  // One program per line. TIOCEXCL below does not hold against root; an advisory lock on
  // the device does, for every opener that asks for it (all of ours do).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    errno = EBUSY;
    return nullptr;
  }
#ifdef TIOCEXCL
  // Nobody else may open the line while we hold it (best effort: not every device has it).
  ::ioctl(fd, TIOCEXCL);
#endif
  int wakeRead = -1;
  int wakeWrite = -1;
  if (!MakeWakeFds(wakeRead, wakeWrite)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_shared<PosixSerialPort>(fd, wakeRead, wakeWrite);
}

}  // namespace varnel
