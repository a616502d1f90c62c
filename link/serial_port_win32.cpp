// The serial port on Windows, through the Win32 communications functions.
//
// Every overlapped operation uses its own OVERLAPPED record whose completion event belongs to
// the port, and waits for that completion or for the link's stop event, whichever comes
// first. Before an operation returns, its I/O has really finished (cancelled if need be), so
// no record or buffer is left in use by the driver. Close() cancels all I/O of the handle
// under the same lock that guards the start of each operation, so no operation can start
// after the cancel and then hang; the handle itself is closed by the destructor, when the
// last holder of the port lets go.
//
// The two comm-event waits (a byte arrived; the event character arrived) watch the driver's
// receive queue themselves (ClearCommError's count, every few milliseconds) and read what
// arrives, instead of WaitCommEvent. Not every driver delivers EV_RXFLAG (Wine does not, nor
// do some USB adapters), and Wine refuses WaitCommEvent with EV_ERR on a line without
// interrupt counters (a pseudo-terminal). Bytes read while watching are kept and handed out
// first by the next Read, so the caller sees the line as if they had stayed in the driver.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/port_owner.h"
#include "link/serial_port.h"

namespace varnel {

namespace {

using Clock = std::chrono::steady_clock;

// EscapeCommFunction is refused with one of these by ports without control lines: "invalid
// function" from virtual ports and USB adapters without the lines, "not supported" from
// other adapter drivers and from Wine on a pseudo-terminal. Any other failure (an invalid
// parameter, a device gone) is a real one and fails the open.
bool LacksControlLines(DWORD err) {
  return err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED;
}

// The errors with which the driver answers once the device behind an open handle has gone
// (a USB adapter unplugged, a modem switched off that took its port with it). The handle
// stays useless: only opening the port anew can bring the line back.
bool DeviceGone(DWORD err) {
  constexpr DWORD kErrorNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, missing in some headers
  switch (err) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case kErrorNoSuchDevice:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

DWORD WaitLimit(int ms) { return ms < 0 ? INFINITE : static_cast<DWORD>(ms); }

COMMTIMEOUTS ToComm(const CommTimeouts& t) {
  COMMTIMEOUTS ct{};
  ct.ReadIntervalTimeout = t.readInterval;
  ct.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
  ct.ReadTotalTimeoutConstant = t.readTotalConstant;
  ct.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
  ct.WriteTotalTimeoutConstant = t.writeTotalConstant;
  return ct;
}

// How often an event wait looks at the driver's receive queue. Short against every time
// limit of the line (the stop must end a wait within 100 ms; modem answers take 200 ms).
constexpr int kWatchPollMs = 10;
// The line errors that EV_ERR stands for.
constexpr DWORD kLineErrors = CE_FRAME | CE_OVERRUN | CE_RXPARITY;

class Win32SerialPort final : public SerialPort {
public:
  Win32SerialPort(HANDLE handle, HANDLE done, std::unique_ptr<PortClaim> claim)
      : handle_(handle), done_(done), claim_(std::move(claim)) {}

  ~Win32SerialPort() override {
    ::CloseHandle(handle_);
    if (done_) ::CloseHandle(done_);
  }

  bool ApplyLineSettings(std::uint32_t baudRate) override {
    std::lock_guard lock(opMutex_);
    if (closed_) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    // Binary mode only; DTR and RTS are raised explicitly afterwards.
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.EvtChar = static_cast<char>(kEventChar);
    return ::SetCommState(handle_, &dcb) != 0;
  }

  bool RaiseDtr() override { return RaiseLine(SETDTR); }
  bool RaiseRts() override { return RaiseLine(SETRTS); }

  bool SetTimeouts(const CommTimeouts& t) override {
    std::lock_guard lock(opMutex_);
    if (closed_) return false;
    COMMTIMEOUTS ct = ToComm(t);
    if (!::SetCommTimeouts(handle_, &ct)) return false;
    std::lock_guard state(stateMutex_);
    timeouts_ = t;
    return true;
  }

  CommTimeouts Timeouts() const override {
    std::lock_guard state(stateMutex_);
    return timeouts_;
  }

  bool ClearLineError() override {
    std::lock_guard lock(opMutex_);
    if (closed_ || vanished_) return false;
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(handle_, &errors, &stat)) return true;
    NoteFailure(::GetLastError());
    return false;
  }

  std::size_t Waiting() override {
    std::lock_guard lock(opMutex_);
    if (closed_ || vanished_) return 0;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(handle_, &errors, &stat)) {
      NoteFailure(::GetLastError());
      return 0;
    }
    return pending_.size() + stat.cbInQue;
  }

  IoResult Write(const std::uint8_t* data, std::size_t n, PortEvent* event,
                 int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    return Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::WriteFile(handle_, data, static_cast<DWORD>(n), count, ov);
        },
        event, waitLimitMs);
  }

  // The handle is opened for overlapped I/O, where a write without a record is not allowed;
  // a write awaited at once is the plain write.
  IoResult WritePlain(const std::uint8_t* data, std::size_t n) override {
    std::lock_guard lock(opMutex_);
    return Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::WriteFile(handle_, data, static_cast<DWORD>(n), count, ov);
        },
        nullptr, kNoWaitLimit);
  }

  // Bytes kept by an event wait come first. They count as the start of the reply: as when
  // they had stayed in the driver, the read then ends at the first gap of the read interval
  // (not at the total limit, which only bounds the wait for a first byte).
  IoResult Read(std::uint8_t* out, std::size_t n, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    if (closed_ || vanished_) return {IoStatus::Failed, 0};
    const std::size_t kept = TakePending(out, n);
    if (kept == n) return {IoStatus::Completed, static_cast<std::uint32_t>(kept)};
    const CommTimeouts limits = Timeouts();
    const bool gapOnly = kept > 0 && limits.readInterval > 0;
    if (gapOnly) {
      COMMTIMEOUTS gap = ToComm(limits);
      gap.ReadTotalTimeoutMultiplier = 0;
      gap.ReadTotalTimeoutConstant = limits.readInterval;
      if (!::SetCommTimeouts(handle_, &gap)) return {IoStatus::Failed, 0};
    }
    IoResult r = Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::ReadFile(handle_, out + kept, static_cast<DWORD>(n - kept), count, ov);
        },
        event, waitLimitMs);
    if (gapOnly) {
      COMMTIMEOUTS back = ToComm(limits);
      if (!::SetCommTimeouts(handle_, &back) && !closed_) r.status = IoStatus::Failed;
    }
    if (kept > 0 && r.status == IoStatus::TimedOut) r.status = IoStatus::Completed;
    r.count += static_cast<std::uint32_t>(kept);
    return r;
  }

  IoResult WaitEvent(std::uint32_t mask, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    if (closed_) return {IoStatus::Completed, 0};
    if (vanished_) return {IoStatus::Failed, 0};
    const bool wantChar = (mask & kEvRxChar) != 0;
    const bool wantFlag = (mask & kEvRxFlag) != 0;
    const bool wantErr = (mask & kEvErr) != 0;
    const std::optional<Clock::time_point> until =
        waitLimitMs >= 0 ? std::optional(Clock::now() + std::chrono::milliseconds(waitLimitMs))
                         : std::nullopt;
    for (;;) {
      if (wantChar && !pending_.empty()) return {IoStatus::Completed, kEvRxChar};
      DWORD errors = 0;
      COMSTAT stat{};
      if (!::ClearCommError(handle_, &errors, &stat)) {
        if (closed_) return {IoStatus::Completed, 0};
        NoteFailure(::GetLastError());
        return {IoStatus::Failed, 0};
      }
      if (wantErr && (errors & kLineErrors)) return {IoStatus::Completed, kEvErr};
      if (stat.cbInQue > 0) {
        // The bytes are there: the read completes at once, whatever the port's limits.
        std::uint8_t chunk[256];
        const DWORD ask = std::min<DWORD>(stat.cbInQue, sizeof chunk);
        const IoResult r = Run(
            [&](OVERLAPPED* ov, DWORD* count) { return ::ReadFile(handle_, chunk, ask, count, ov); },
            nullptr, kSingleWaitLimitMs);
        if (closed_) return {IoStatus::Completed, 0};
        if (!r.Completed()) return {IoStatus::Failed, 0};
        pending_.insert(pending_.end(), chunk, chunk + r.count);
        if (wantFlag && std::memchr(chunk, kEventChar, r.count)) {
          return {IoStatus::Completed, kEvRxFlag};
        }
        continue;
      }
      if (until && Clock::now() >= *until) return {IoStatus::TimedOut, 0};
      // Nothing yet: look again shortly, unless the stop event or a close ends the wait.
      if (event && event->Valid()) {
        if (event->Wait(kWatchPollMs)) return {IoStatus::Completed, 0};
      } else {
        ::Sleep(kWatchPollMs);
      }
      if (closed_) return {IoStatus::Completed, 0};
    }
  }

  // Everything kept by an event wait goes too: it was received before the purge.
  bool Purge() override {
    std::lock_guard lock(opMutex_);
    if (closed_ || vanished_) return false;
    pending_.clear();
    if (::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR)) return true;
    NoteFailure(::GetLastError());
    return false;
  }

  bool Close() override {
    std::lock_guard lock(startMutex_);
    if (closed_.exchange(true)) return true;
    // The line is free for the next opener at once, even while a worker still holds this
    // object for a moment.
    claim_->Release();
    // Ends every pending read, write and event wait of the handle; nothing pending is fine.
    if (!::CancelIoEx(handle_, nullptr)) return ::GetLastError() == ERROR_NOT_FOUND;
    return true;
  }

  bool IsClosed() const override { return closed_; }
  bool Vanished() const override { return vanished_; }

private:
  void NoteFailure(DWORD err) {
    if (!closed_ && DeviceGone(err)) vanished_ = true;
  }

  std::size_t TakePending(std::uint8_t* out, std::size_t n) {
    const std::size_t k = std::min(n, pending_.size());
    std::copy_n(pending_.begin(), k, out);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
    return k;
  }

  // Starts one overlapped read or write and sees it to its end. One that the stop event
  // releases is awaited further, since the port's time limits or the close end it.
  template <class Start>
  IoResult Run(Start start, PortEvent* event, int waitLimitMs) {
    OVERLAPPED ov{};
    ov.hEvent = done_;
    ::ResetEvent(done_);
    DWORD count = 0;
    {
      std::lock_guard lock(startMutex_);
      if (closed_ || vanished_) return {IoStatus::Failed, 0};
      if (start(&ov, &count)) return {IoStatus::Completed, count};
      const DWORD err = ::GetLastError();
      if (err != ERROR_IO_PENDING) {
        NoteFailure(err);
        return {IoStatus::Failed, 0};
      }
    }
    HANDLE waits[2];
    DWORD nWaits = 0;
    const bool withEvent = event && event->Valid();
    if (withEvent) waits[nWaits++] = static_cast<HANDLE>(event->NativeHandle());
    waits[nWaits++] = done_;
    const DWORD w = nWaits == 1
                        ? ::WaitForSingleObject(done_, WaitLimit(waitLimitMs))
                        : ::WaitForMultipleObjects(nWaits, waits, FALSE, WaitLimit(waitLimitMs));
    if (w == WAIT_TIMEOUT) {
      Abandon(&ov);
      return {IoStatus::TimedOut, 0};
    }
    if (w == WAIT_FAILED) {
      Abandon(&ov);
      return {IoStatus::Failed, 0};
    }
    if (!::GetOverlappedResult(handle_, &ov, &count, TRUE)) {
      // Wine ends a read that its total time limit cut short with STATUS_TIMEOUT, where
      // Windows reports success; either way the bytes counted are what came in time.
      const DWORD err = ::GetLastError();
      if (err == ERROR_TIMEOUT && !closed_) return {IoStatus::Completed, count};
      NoteFailure(err);
      return {IoStatus::Failed, count};
    }
    return {IoStatus::Completed, count};
  }

  // Cancels one operation and waits until the driver has let go of its record.
  void Abandon(OVERLAPPED* ov) {
    ::CancelIoEx(handle_, ov);
    DWORD ignored = 0;
    ::GetOverlappedResult(handle_, ov, &ignored, TRUE);
  }

  bool RaiseLine(DWORD function) {
    std::lock_guard lock(opMutex_);
    if (closed_) return false;
    if (::EscapeCommFunction(handle_, function)) return true;
    return LacksControlLines(::GetLastError());
  }

  const HANDLE handle_;
  const HANDLE done_;  // manual-reset completion event of the operation in progress
  const std::unique_ptr<PortClaim> claim_;  // released by Close() or with the port
  std::atomic<bool> closed_{false};
  std::atomic<bool> vanished_{false};
  std::mutex opMutex_;     // one operation at a time; guards pending_
  std::mutex startMutex_;  // the start of an operation versus Close()
  mutable std::mutex stateMutex_;
  CommTimeouts timeouts_{};
  std::vector<std::uint8_t> pending_;  // received while an event wait watched the line
};

}  // namespace

std::shared_ptr<SerialPort> OpenSerialPort(int portNumber, bool overlapped) {
  // The device namespace form also reaches ports numbered 10 and above.
  const std::string name = "\\\\.\\COM" + std::to_string(portNumber);
  // Claimed first: Wine would let a second program open the device itself.
  std::unique_ptr<PortClaim> claim = PortClaim::Take(portNumber);
  if (!claim) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const HANDLE handle =
      ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!done) {
    ::CloseHandle(handle);
    return nullptr;
  }
  return std::make_shared<Win32SerialPort>(handle, done, std::move(claim));
}

}  // namespace varnel
