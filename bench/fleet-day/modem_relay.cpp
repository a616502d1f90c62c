#include "bench/fleet-day/modem_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace varnel::bench {

namespace {

bool MakeRaw(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  ::cfmakeraw(&t);
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

// Writes all of `data` to a non-blocking descriptor; gives up on an error (the far side
// gone), as a wire would lose the bytes.
void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 50);
    } else {
      return;
    }
  }
}

}  // namespace

ModemRelay::~ModemRelay() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseLine();
  if (sim_ >= 0) ::close(sim_);
}

bool ModemRelay::Start(const std::string& simLink, const std::string& link, std::string* why) {
  link_ = link;
  sim_ = ::open(simLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (sim_ < 0 || !MakeRaw(sim_)) {
    *why = "cannot open the simulator's port " + simLink + ": " + std::strerror(errno);
    return false;
  }
  if (!OpenLine()) {
    *why = "cannot make a pseudo-terminal for " + link + ": " + std::strerror(errno);
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool ModemRelay::OpenLine() {
  // Close-on-exec throughout: a copy of the master in a collector or simulator started
  // later would keep the line up after an unplug, and the collector would never notice.
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
  // Our own descriptor of the collector's side keeps the line up between the collector's
  // opens (without it the master reports a hang-up whenever no one holds the port), and
  // makes it raw before the collector first opens it.
  const std::string slave = ::ptsname(master_);
  heldSlave_ = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (heldSlave_ < 0 || !MakeRaw(heldSlave_)) return false;
  std::error_code ec;
  std::filesystem::remove(link_, ec);
  std::filesystem::create_symlink(slave, link_, ec);
  return !ec;
}

void ModemRelay::CloseLine() {
  if (master_ < 0) return;
  // As with an adapter pulled out: the device closes under the collector, and the link
  // names a device that does not exist.
  std::error_code ec;
  std::filesystem::remove(link_, ec);
  std::filesystem::create_symlink(link_ + "-unplugged", link_, ec);
  if (heldSlave_ >= 0) ::close(heldSlave_);
  ::close(master_);
  master_ = heldSlave_ = -1;
}

void ModemRelay::Run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastTyped{};
  char buffer[4096];
  while (!stop_) {
    if (!plugged_ && master_ >= 0) CloseLine();
    if (plugged_ && master_ < 0 && !OpenLine()) CloseLine();
    if (master_ < 0 && Clock::now() - lastTyped > std::chrono::seconds(1)) {
      // Nobody answers the phone: the modem stays in its quiet time, callers find it busy.
      WriteAll(sim_, "AT\r", 3);
      lastTyped = Clock::now();
    }
    pollfd p[2] = {{sim_, POLLIN, 0}, {master_, POLLIN, 0}};
    const int n = ::poll(p, master_ >= 0 ? 2 : 1, 100);
    if (n <= 0) continue;
    if (p[0].revents & (POLLHUP | POLLERR)) {
      // The simulator has gone (it ends after its fleet): nothing more to pass on.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (p[0].revents & POLLIN) {
      const ssize_t got = ::read(sim_, buffer, sizeof buffer);
      if (got > 0 && master_ >= 0) WriteAll(master_, buffer, static_cast<std::size_t>(got));
    }
    if (master_ >= 0 && (p[1].revents & POLLIN)) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) WriteAll(sim_, buffer, static_cast<std::size_t>(got));
    }
  }
}

}  // namespace varnel::bench
