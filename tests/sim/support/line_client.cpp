#include "tests/sim/support/line_client.h"

#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "link/crc16.h"

namespace varnel::simtest {

namespace {
std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

bool CrcOk(const std::vector<std::uint8_t>& frame) {
  return frame.size() >= 3 && CheckCrc16BE(frame.data(), frame.size() - 2);
}

LineClient::LineClient(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return;
  termios t{};
  tcgetattr(fd_, &t);
  cfmakeraw(&t);
  tcsetattr(fd_, TCSANOW, &t);
}

LineClient::~LineClient() {
  if (fd_ >= 0) ::close(fd_);
}

void LineClient::Write(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
    } else {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 50);
    }
  }
}

void LineClient::WriteText(const std::string& text) { Write(std::vector<std::uint8_t>(text.begin(), text.end())); }

std::vector<std::uint8_t> LineClient::Read(std::size_t n, int timeoutMs, int gapMs) {
  std::vector<std::uint8_t> out;
  const std::int64_t end = NowMs() + timeoutMs;
  std::int64_t lastByte = 0;
  std::uint8_t buf[4096];
  while (out.size() < n) {
    const std::int64_t now = NowMs();
    if (now >= end || (!out.empty() && now - lastByte >= gapMs)) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0) continue;
    const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
    if (got > 0) {
      out.insert(out.end(), buf, buf + got);
      lastByte = NowMs();
    }
  }
  return out;
}

std::string LineClient::ReadUntil(const std::string& needle, int timeoutMs) {
  std::string text;
  const std::int64_t end = NowMs() + timeoutMs;
  char buf[1024];
  while (text.find(needle) == std::string::npos && NowMs() < end) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0) continue;
    const ssize_t got = ::read(fd_, buf, sizeof buf);
    if (got > 0) text.append(buf, static_cast<std::size_t>(got));
  }
  return text;
}

void LineClient::Drain() {
  tcflush(fd_, TCIFLUSH);
  Read(1 << 20, 30, 20);
}

std::vector<std::uint8_t> LineClient::Exchange(const std::vector<std::uint8_t>& content,
                                               std::size_t expectedLength, int timeoutMs) {
  Write(WithCrc(content));
  return Read(expectedLength, timeoutMs);
}

}  // namespace varnel::simtest
