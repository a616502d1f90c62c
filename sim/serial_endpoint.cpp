#include "sim/serial_endpoint.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace varnel::sim {

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// Raw 8N1 at 9600 baud: no echo, no line editing, no translation of CR or LF, no flow control.
bool SetRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD | CS8;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SerialEndpoint::~SerialEndpoint() { Close(); }

void SerialEndpoint::Close() {
  if (slaveFd_ >= 0) ::close(slaveFd_);
  if (fd_ >= 0) ::close(fd_);
  slaveFd_ = fd_ = -1;
}

std::string SerialEndpoint::OpenPty() {
  Close();
  fd_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd_ < 0) return Errno("cannot open a pseudo-terminal");
  if (grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
    const std::string e = Errno("cannot unlock the pseudo-terminal");
    Close();
    return e;
  }
  const char* name = ptsname(fd_);
  if (!name) {
    const std::string e = Errno("cannot name the pseudo-terminal");
    Close();
    return e;
  }
  peerPath_ = name;
  slaveFd_ = ::open(peerPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slaveFd_ < 0 || !SetRaw(slaveFd_) || !SetRaw(fd_)) {
    const std::string e = Errno("cannot set up " + peerPath_);
    Close();
    return e;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  return "";
}

std::string SerialEndpoint::OpenDevice(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return Errno("cannot open " + path);
  if (!SetRaw(fd_)) {
    const std::string e = Errno("cannot set up " + path);
    Close();
    return e;
  }
  peerPath_ = path;
  return "";
}

long SerialEndpoint::Read(std::uint8_t* buffer, std::size_t size) {
  const ssize_t n = ::read(fd_, buffer, size);
  if (n > 0) return static_cast<long>(n);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  // On a pty master, EIO means no slave is open; ours is, so this is a real failure.
  return n == 0 ? 0 : -1;
}

SerialEndpoint::SendResult SerialEndpoint::WriteAll(const std::uint8_t* data, std::size_t n,
                                                    const volatile std::sig_atomic_t* stop) {
  std::size_t done = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (done < n) {
    if (stop && *stop) return SendResult::kStopped;
    const ssize_t w = ::write(fd_, data + done, n - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      lastProgress = std::chrono::steady_clock::now();
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return SendResult::kFailed;
    if (std::chrono::steady_clock::now() - lastProgress > std::chrono::seconds(1)) {
      // Nobody reads the line: what was queued is lost as it would be on a real line.
      if (slaveFd_ >= 0) tcflush(slaveFd_, TCIFLUSH);
      return SendResult::kStalled;
    }
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, 50);
  }
  return SendResult::kSent;
}

SerialEndpoint::SendResult SerialEndpoint::Send(const std::uint8_t* data, std::size_t n,
                                                LinePacer& pacer,
                                                const volatile std::sig_atomic_t* stop) {
  if (!pacer.paced()) return WriteAll(data, n, stop);
  const std::int64_t first = pacer.Schedule(NowNs(), n);
  for (std::size_t i = 0; i < n; ++i) {
    // A byte is on the far end once all its ten bits have crossed: the first one too.
    const std::int64_t wait = first + static_cast<std::int64_t>(i + 1) * pacer.periodNs() - NowNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    const SendResult r = WriteAll(data + i, 1, stop);
    if (r != SendResult::kSent) return r;
  }
  return SendResult::kSent;
}

}  // namespace varnel::sim
