// The serial port on Windows, through the Win32 communications functions.
//
// Every overlapped operation uses its own OVERLAPPED record whose completion event belongs to
// the port, and waits for that completion or for the link's stop event, whichever comes
// first. Before an operation returns, its I/O has really finished (cancelled if need be), so
// no record or buffer is left in use by the driver. Close() cancels all I/O of the handle
// under the same lock that guards the start of each operation, so no operation can start
// after the cancel and then hang; the handle itself is closed by the destructor, when the
// last holder of the port lets go.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "link/serial_port.h"

namespace varnel {

namespace {

// EscapeCommFunction is refused with one of these by ports without control lines (virtual
// ports, some adapters); such a port works without them.
bool LacksControlLines(DWORD err) {
  return err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED ||
         err == ERROR_INVALID_PARAMETER;
}

DWORD WaitLimit(int ms) { return ms < 0 ? INFINITE : static_cast<DWORD>(ms); }

class Win32SerialPort final : public SerialPort {
public:
  Win32SerialPort(HANDLE handle, HANDLE done) : handle_(handle), done_(done) {}

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
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.readInterval;
    ct.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    ct.ReadTotalTimeoutConstant = t.readTotalConstant;
    ct.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    ct.WriteTotalTimeoutConstant = t.writeTotalConstant;
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
    if (closed_) return false;
    DWORD errors = 0;
    COMSTAT stat{};
    return ::ClearCommError(handle_, &errors, &stat) != 0;
  }

  bool Purge() override {
    std::lock_guard lock(opMutex_);
    if (closed_) return false;
    return ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
  }

  IoResult Write(const std::uint8_t* data, std::size_t n, PortEvent* event,
                 int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    return Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::WriteFile(handle_, data, static_cast<DWORD>(n), count, ov);
        },
        event, waitLimitMs, false);
  }

  // The handle is opened for overlapped I/O, where a write without a record is not allowed;
  // a write awaited at once is the plain write.
  IoResult WritePlain(const std::uint8_t* data, std::size_t n) override {
    std::lock_guard lock(opMutex_);
    return Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::WriteFile(handle_, data, static_cast<DWORD>(n), count, ov);
        },
        nullptr, kNoWaitLimit, false);
  }

  IoResult Read(std::uint8_t* out, std::size_t n, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    return Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          return ::ReadFile(handle_, out, static_cast<DWORD>(n), count, ov);
        },
        event, waitLimitMs, false);
  }

  IoResult WaitEvent(std::uint32_t mask, PortEvent* event, int waitLimitMs) override {
    std::lock_guard lock(opMutex_);
    if (closed_) return {IoStatus::Completed, 0};
    if (!::SetCommMask(handle_, mask)) return {IoStatus::Failed, 0};
    DWORD events = 0;
    const IoResult r = Run(
        [&](OVERLAPPED* ov, DWORD* count) {
          *count = 0;
          return ::WaitCommEvent(handle_, &events, ov);
        },
        event, waitLimitMs, true);
    if (r.status == IoStatus::Completed) return {IoStatus::Completed, events & mask};
    // A wait ended by the close completes with an empty mask, like the stop signal.
    if (closed_) return {IoStatus::Completed, 0};
    return r;
  }

  bool Close() override {
    std::lock_guard lock(startMutex_);
    if (closed_.exchange(true)) return true;
    // Ends every pending read, write and event wait of the handle; nothing pending is fine.
    if (!::CancelIoEx(handle_, nullptr)) return ::GetLastError() == ERROR_NOT_FOUND;
    return true;
  }

  bool IsClosed() const override { return closed_; }

private:
  // Starts one overlapped operation and sees it to its end. An event wait that the stop
  // event releases completes with an empty mask (cancelled underneath); a read or write that
  // it releases is awaited further, since the port's time limits or the close end it.
  template <class Start>
  IoResult Run(Start start, PortEvent* event, int waitLimitMs, bool isEventWait) {
    OVERLAPPED ov{};
    ov.hEvent = done_;
    ::ResetEvent(done_);
    DWORD count = 0;
    {
      std::lock_guard lock(startMutex_);
      if (closed_) return {IoStatus::Failed, 0};
      if (start(&ov, &count)) return {IoStatus::Completed, count};
      if (::GetLastError() != ERROR_IO_PENDING) return {IoStatus::Failed, 0};
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
    if (isEventWait && withEvent && w == WAIT_OBJECT_0 && !HasOverlappedIoCompleted(&ov)) {
      Abandon(&ov);
      return {IoStatus::Completed, 0};
    }
    if (!::GetOverlappedResult(handle_, &ov, &count, TRUE)) return {IoStatus::Failed, count};
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
  std::atomic<bool> closed_{false};
  std::mutex opMutex_;     // one operation at a time
  std::mutex startMutex_;  // the start of an operation versus Close()
  mutable std::mutex stateMutex_;
  CommTimeouts timeouts_{};
};

}  // namespace

std::shared_ptr<SerialPort> OpenSerialPort(int portNumber, bool overlapped) {
  // The device namespace form also reaches ports numbered 10 and above.
  const std::string name = "\\\\.\\COM" + std::to_string(portNumber);
  const HANDLE handle =
      ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!done) {
    ::CloseHandle(handle);
    return nullptr;
  }
  return std::make_shared<Win32SerialPort>(handle, done);
}

}  // namespace varnel
