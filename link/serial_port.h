#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/port_event.h"

namespace varnel {

// Comm-event bits, with the values of the Windows event mask so that both ports share one
// meaning for them.
inline constexpr std::uint32_t kEvRxChar = 0x01;  // a character arrived
inline constexpr std::uint32_t kEvRxFlag = 0x02;  // the event character arrived
inline constexpr std::uint32_t kEvErr = 0x80;     // a line error (framing, overrun, parity)
// The two masks the workers wait with.
inline constexpr std::uint32_t kMaskReceive = kEvRxChar | kEvErr;    // 0x81
inline constexpr std::uint32_t kMaskEventChar = kEvRxFlag | kEvErr;  // 0x82

// The event character: the modem's hang-up report is waited for by its letter "t".
inline constexpr std::uint8_t kEventChar = 0x74;

// No single wait of the frame layer lasts longer than this.
inline constexpr int kSingleWaitLimitMs = 20000;
// A wait limit meaning "until the operation completes".
inline constexpr int kNoWaitLimit = -1;

// Read and write time limits in milliseconds, with the meaning of the Windows COMMTIMEOUTS
// (the Windows port maps them field for field; the POSIX port counts them itself):
// - a read ends when readInterval > 0 and more than readInterval passes between two bytes
//   (counted from the first byte on), or when the total readTotalMultiplier * asked +
//   readTotalConstant has passed (when that total is > 0), or when all bytes arrived;
//   with all three read values 0 a read has no time limit of its own;
// - a write ends, complete or not, after writeTotalMultiplier * n + writeTotalConstant
//   (when > 0).
struct CommTimeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;
};

// The three sets the link switches between. T is the reply timeout of the open port.
CommTimeouts StandardTimeouts(int replyTimeoutMs);  // 400 / 0 / T / 0 / 200
CommTimeouts AfterFirstByteTimeouts();               // 400 / 0 / 500 / 0 / 200 (modem mode)
CommTimeouts WakeByteTimeouts();                     // 0 / 0 / 0 / 0 / 200

// How an I/O operation ended.
enum class IoStatus {
  Completed,  // count holds the bytes transferred (or the event mask of WaitEvent)
  Failed,     // the operating system reported an error, or the port is closed
  TimedOut,   // the single wait for completion ran out (the operation was abandoned)
};

struct IoResult {
  IoStatus status = IoStatus::Failed;
  std::uint32_t count = 0;

  bool Completed() const { return status == IoStatus::Completed; }
  bool TimedOut() const { return status == IoStatus::TimedOut; }
};

// One open serial port. Shared by shared_ptr between the main thread, which closes it, and
// the worker that uses it: Close() marks the port closed and ends every operation blocked in
// it at once (reads, writes, event waits), and the device itself is released only when the
// last holder lets go, so a worker never uses a descriptor that was closed under it.
//
// Operations are made by one thread at a time (the worker of the current job); Close() may
// come from any thread at any time. After Close() every operation fails at once, except
// WaitEvent, which completes with an empty mask.
//
// The operations that take a PortEvent behave like overlapped I/O whose completion event is
// that event: a signal of the event ends a WaitEvent with mask 0 and is consumed by a read or
// write (which then goes on to completion under the port time limits). event may be null.
class SerialPort {
public:
  virtual ~SerialPort() = default;

  // --- Set-up, used by PortOpen ------------------------------------------------------------
  // Applies the line settings: the baud rate, 8 data bits, no parity, one stop bit, binary
  // mode, no flow control of any kind, no error replacement or NUL stripping, event
  // character "t". Other settings keep the values the driver reports.
  virtual bool ApplyLineSettings(std::uint32_t baudRate) = 0;
  // Raise DTR, raise RTS. A device without control lines (a pseudo-terminal, a virtual port)
  // counts as success: the line works without them.
  virtual bool RaiseDtr() = 0;
  virtual bool RaiseRts() = 0;

  // --- Used by the frame layer and the workers ----------------------------------------------
  // Switches the time limits of later reads and writes.
  virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
  virtual CommTimeouts Timeouts() const = 0;

  // Clears a pending line error. False when the port is closed or the call failed.
  virtual bool ClearLineError() = 0;

  // Discards everything received and not yet read, and everything not yet sent.
  virtual bool Purge() = 0;

  // How many received bytes wait to be read (a Read of that many returns at once).
  virtual std::size_t Waiting() = 0;

  // Overlapped-style write of n bytes. Completed with the count actually written (less than
  // n when the write time limit ran out); TimedOut when the write had not ended after
  // waitLimitMs (kNoWaitLimit: no such limit).
  virtual IoResult Write(const std::uint8_t* data, std::size_t n, PortEvent* event,
                         int waitLimitMs) = 0;

  // Plain write without any event (the wake byte), under the write time limit.
  virtual IoResult WritePlain(const std::uint8_t* data, std::size_t n) = 0;

  // Overlapped-style read of up to n bytes under the current time limits. Completed with the
  // count read (0 when nothing came in time); TimedOut when the read had not ended after
  // waitLimitMs.
  virtual IoResult Read(std::uint8_t* out, std::size_t n, PortEvent* event,
                        int waitLimitMs) = 0;

  // Sets the comm-event mask (kMaskReceive or kMaskEventChar) and waits for one of its
  // events. Completed with the events seen: kEvRxChar when received bytes are waiting,
  // kEvRxFlag when the event character arrived, kEvErr on a line error, and 0 when the wait
  // was ended by the event signal or by Close(). TimedOut after waitLimitMs without event;
  // Failed when the operating system reported an error (the device gone, for one).
  // Bytes received while looking for the event character stay in the port: the next Read
  // returns them first.
  virtual IoResult WaitEvent(std::uint32_t mask, PortEvent* event, int waitLimitMs) = 0;

  // Marks the port closed and wakes every blocked operation. Returns false when the
  // operating system reported a failure. Safe from any thread, and more than once.
  virtual bool Close() = 0;
  virtual bool IsClosed() const = 0;

  // True once the device has gone from under the open port (a modem or USB adapter
  // unplugged or switched off, the far end of a pseudo-terminal closed). Nothing passes
  // the line any more: every later operation fails at once, and only opening the port anew
  // can bring it back. Safe from any thread.
  virtual bool Vanished() const = 0;
};

// Opens "COM"portNumber for reading and writing, exclusively, with no line settings applied
// yet. On POSIX the name resolves through ResolveComPort (link/port_names.h); on Windows it
// is the device \\.\COMn. overlapped asks for a handle that allows overlapped I/O (Windows;
// the POSIX port is always interruptible). Null when the device cannot be opened.
std::shared_ptr<SerialPort> OpenSerialPort(int portNumber, bool overlapped);

#ifndef _WIN32
// True for the error (errno) with which a device that has no modem-control lines refuses
// to raise one; the port open then goes on without DTR and RTS.
bool LacksControlLines(int err);
#endif

}  // namespace varnel
