#include "link/link_state.h"

#include "link/line_counter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace varnel {

namespace {

// Reply timeout used when the caller asks for none.
constexpr std::int16_t kDefaultTimeoutMs = 500;
// Settling time of the line after a successful open.
constexpr int kSettleAfterOpenMs = 500;
constexpr std::int16_t kHighestPortNumber = 9;

struct LinkState {
  std::mutex portMutex;
  std::shared_ptr<SerialPort> port;
  std::atomic<std::int16_t> timeout{0};

  std::atomic<bool> modem{false};
  std::atomic<bool> echo{false};
  std::atomic<bool> retry{false};
  std::atomic<bool> lineDropped{false};
  std::atomic<bool> callAnnounced{false};
  std::atomic<std::uint64_t> retries{0};

  std::mutex cancelMutex;
  std::condition_variable cancelChanged;
  std::atomic<bool> cancel{false};

  std::mutex eventMutex;
  std::shared_ptr<PortEvent> event;
};

// Never destroyed: a worker may still use the link while the program exits.
LinkState& State() {
  static LinkState* state = new LinkState;
  return *state;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

bool IsSupportedBaudRate(std::uint32_t baudRate) {
  switch (baudRate) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
      return true;
    default:
      return false;
  }
}

std::int16_t PortOpen(std::int16_t portNumber, std::int16_t timeoutMs, std::uint32_t baudRate,
                      bool overlapped) {
  if (!IsSupportedBaudRate(baudRate)) return -1;
  if (PortClose() != 0) return -1;
  if (portNumber < 0 || portNumber > kHighestPortNumber) return -1;

  LinkState& s = State();
  s.lineDropped = false;
  s.callAnnounced = false;
  std::shared_ptr<SerialPort> port = CountLineBytes(OpenSerialPort(portNumber, overlapped));
  {
    std::lock_guard lock(s.portMutex);
    s.port = port;
  }
  const std::int16_t t = timeoutMs < 1 ? kDefaultTimeoutMs : timeoutMs;
  s.timeout = t;

  if (!port || !port->ApplyLineSettings(baudRate) || !port->RaiseDtr() || !port->RaiseRts()) {
    Sleep(t);
    return -1;
  }
  const std::int16_t result = port->SetTimeouts(StandardTimeouts(t)) ? 0 : -1;
  Sleep(kSettleAfterOpenMs);
  return result;
}

std::int16_t PortClose() {
  LinkState& s = State();
  std::shared_ptr<SerialPort> port;
  {
    std::lock_guard lock(s.portMutex);
    port = std::move(s.port);
    s.port.reset();
  }
  s.lineDropped = false;
  s.callAnnounced = false;
  if (!port) return 0;
  return port->Close() ? 0 : -1;
}

void SetLineDropped() { State().lineDropped = true; }
void ClearLineDropped() { State().lineDropped = false; }
bool LineDropped() { return State().lineDropped; }

std::uint64_t RetryCount() { return State().retries; }
void CountRetry() { ++State().retries; }

void NoteCallAnnounced() { State().callAnnounced = true; }
bool TakeCallAnnounced() { return State().callAnnounced.exchange(false); }

bool PortIsOpen() {
  LinkState& s = State();
  std::lock_guard lock(s.portMutex);
  return s.port != nullptr;
}

std::shared_ptr<SerialPort> AcquirePort() {
  LinkState& s = State();
  std::lock_guard lock(s.portMutex);
  return s.port;
}

bool PortVanished() {
  const std::shared_ptr<SerialPort> port = AcquirePort();
  return port && port->Vanished();
}

bool PortPresent(std::int16_t portNumber) {
  if (portNumber < 0 || portNumber > kHighestPortNumber) return false;
  return OpenSerialPort(portNumber, true) != nullptr;
}

std::int16_t PortTimeout() { return State().timeout; }

std::int16_t SetModemMode(bool on) {
  State().modem = on;
  return 0;
}

std::int16_t SetEchoMode(bool on) {
  State().echo = on;
  return 0;
}

std::int16_t SetRetryMode(bool on) {
  State().retry = on;
  return 0;
}

std::int16_t SetCancel() {
  LinkState& s = State();
  {
    std::lock_guard lock(s.cancelMutex);
    s.cancel = true;
  }
  s.cancelChanged.notify_all();
  return 0;
}

std::int16_t ClearCancel() {
  LinkState& s = State();
  std::lock_guard lock(s.cancelMutex);
  s.cancel = false;
  return 0;
}

bool ModemMode() { return State().modem; }
bool EchoMode() { return State().echo; }
bool RetryMode() { return State().retry; }
bool CancelFlag() { return State().cancel; }

bool SleepUnlessCancelled(int ms) {
  LinkState& s = State();
  std::unique_lock lock(s.cancelMutex);
  const bool cancelled = s.cancelChanged.wait_for(
      lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), [&] { return s.cancel.load(); });
  return !cancelled;
}

std::shared_ptr<PortEvent> CreatePortEvent() {
  LinkState& s = State();
  auto event = std::make_shared<PortEvent>();
  std::lock_guard lock(s.eventMutex);
  s.event = event;
  return event;
}

std::shared_ptr<PortEvent> GetPortEvent() {
  LinkState& s = State();
  std::lock_guard lock(s.eventMutex);
  return s.event;
}

void SignalPortEvent() {
  if (auto event = GetPortEvent()) event->Signal();
}

}  // namespace varnel
