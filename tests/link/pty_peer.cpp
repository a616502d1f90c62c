#include "pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "link/crc16.h"

namespace varnel::testing {

namespace {
// Bytes that follow within this time belong to the same request.
constexpr int kRequestGapMs = 5;
}  // namespace

PtyPeer::PtyPeer() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return;
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
  const char* name = ::ptsname(master_);
  if (!name) return;
  slavePath_ = name;
  slaveHold_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ >= 0) {
    // Raw until the port under test applies its own settings (no echo back to the peer).
    termios tio{};
    ::tcgetattr(slaveHold_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveHold_, TCSANOW, &tio);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  thread_ = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (slaveHold_ >= 0) ::close(slaveHold_);
  if (master_ >= 0) ::close(master_);
}

void PtyPeer::SetScript(Script script) {
  std::lock_guard answering(answerMutex_);
  ++generation_;
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

void PtyPeer::PauseReading(bool paused) { paused_ = paused; }

void PtyPeer::Send(const Bytes& bytes) { WriteAll(bytes); }

std::vector<Bytes> PtyPeer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t PtyPeer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

Bytes PtyPeer::Received() const {
  std::lock_guard lock(mutex_);
  Bytes all;
  for (const Bytes& r : requests_) all.insert(all.end(), r.begin(), r.end());
  return all;
}

void PtyPeer::ClearLog() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool PtyPeer::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return requests_.size() >= count; });
}

void PtyPeer::WriteAll(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && !stop_) {
    const ssize_t r = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (r > 0) {
      done += static_cast<std::size_t>(r);
    } else if (r < 0 && errno != EINTR) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  }
}

void PtyPeer::Run() {
  while (!stop_) {
    if (paused_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
    Bytes request;
    while (!paused_) {
      std::uint8_t chunk[4096];
      const ssize_t r = ::read(master_, chunk, sizeof chunk);
      if (r > 0) {
        request.insert(request.end(), chunk, chunk + r);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      pollfd more{master_, POLLIN, 0};
      if (::poll(&more, 1, kRequestGapMs) <= 0 || !(more.revents & POLLIN)) break;
    }
    if (request.empty()) continue;
    Script script;
    const unsigned generation = generation_;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      script = script_;
    }
    changed_.notify_all();
    if (!script) continue;
    for (const Piece& piece : script(request)) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(piece.delayMs);
      while (!stop_ && generation == generation_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      std::lock_guard answering(answerMutex_);
      if (generation != generation_) break;
      WriteAll(piece.bytes);
    }
  }
}

Bytes WithCrc(Bytes content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

Bytes ErrorReply(std::uint8_t addr, std::uint8_t function, std::uint8_t code) {
  return WithCrc({addr, static_cast<std::uint8_t>(function + 0x80), code});
}

Answer Now(const Bytes& bytes) { return {Piece{0, bytes}}; }

}  // namespace varnel::testing
