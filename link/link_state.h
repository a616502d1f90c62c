#pragma once
#include <cstdint>
#include <memory>

#include "link/port_event.h"
#include "link/serial_port.h"

namespace varnel {

// The process-wide link: the one serial port, its reply timeout, the stop event and the
// switches. Shared by the main thread and the single running worker; every member is safe
// to use from both (the switches are atomics, the port and the event are handed out as
// shared pointers under a lock).

// The baud rates a port may be opened with.
bool IsSupportedBaudRate(std::uint32_t baudRate);

// Opens COM portNumber (0..9) with the fixed line settings, raises DTR and RTS and sets the
// standard time limits. 0 on success, -1 on failure. Closes any open port first (even when
// the new one then fails), except when the baud rate is not supported: that fails with
// nothing done. The reply timeout becomes timeoutMs, or 500 when timeoutMs < 1. A failed
// step sleeps the reply timeout; a successful open sleeps 500 ms before it returns. When
// only the last step (the time limits) fails, the port stays open and the result is -1.
// overlapped: see OpenSerialPort.
std::int16_t PortOpen(std::int16_t portNumber, std::int16_t timeoutMs, std::uint32_t baudRate,
                      bool overlapped);

// Closes the port: operations blocked in it end at once. 0 when no port was open or the
// close succeeded, -1 when the operating system reported a failure; the port counts as
// closed either way.
std::int16_t PortClose();

// True while a port is open (PortOpen succeeded, or left it open, and no PortClose since).
bool PortIsOpen();

// The open port for one operation or a short sequence of them; null when none is open.
// Hold it only as long as needed: the device is released when the last holder lets go.
std::shared_ptr<SerialPort> AcquirePort();

// True when the device of the open port has gone (SerialPort::Vanished): the modem was
// unplugged or switched off, and the port must be closed and opened anew.
bool PortVanished();

// True when COM portNumber can be opened now (it is tried and let go at once; no line
// settings, no pause). A host that lost its port asks this before it opens the port again,
// so that waiting for a missing device costs no pause on every try.
bool PortPresent(std::int16_t portNumber);

// The reply timeout T in milliseconds (0 before the first PortOpen).
std::int16_t PortTimeout();

// Switches. Each setter returns 0.
std::int16_t SetModemMode(bool on);
std::int16_t SetEchoMode(bool on);
std::int16_t SetRetryMode(bool on);
std::int16_t SetCancel();
std::int16_t ClearCancel();
bool ModemMode();
bool EchoMode();
bool RetryMode();
bool CancelFlag();

// The modem reported the end of the call inside a reply. Set by the frame layer; from then
// on every frame exchange fails at once with kBusLineDropped, so nothing of this job goes
// to the modem's command mode or to the logger of a later call. Cleared when a job starts
// (the facade) and when a port is opened or closed.
void SetLineDropped();
void ClearLineDropped();
bool LineDropped();

// How many exchanges the frame layer has repeated since the program started. A worker
// compares two readings to learn whether a stretch of commands needed repeats -- the one
// way a reply can come from a later call when the modem's end-of-call report went by
// unseen.
std::uint64_t RetryCount();
void CountRetry();

// The modem announced the next call inside a text that a worker took for something else
// (a command's answer, the end of the call). The next wait for a call takes it at once.
// Survives from one job to the next on the open port; cleared when a port is opened or
// closed.
void NoteCallAnnounced();
bool TakeCallAnnounced();

// Sleeps ms milliseconds, ending early when CancelFlag gets set. True when the full time
// passed, false when the cancel flag ended it (or was already set).
bool SleepUnlessCancelled(int ms);

// The stop event. A worker creates a new one (not signalled) when it starts a modem
// dialogue; this replaces the previous one, which is how the event is reset. The stop
// operation signals the current one. GetPortEvent is null until the first CreatePortEvent.
std::shared_ptr<PortEvent> CreatePortEvent();
std::shared_ptr<PortEvent> GetPortEvent();
void SignalPortEvent();  // no-op when there is no event

}  // namespace varnel
