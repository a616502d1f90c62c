#include "link/bus.h"
#include "link/bus_functions.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "link/byte_order.h"
#include "link/crc16.h"
#include "link/link_state.h"
#include "link/modem_texts.h"
#include "link/serial_port.h"

namespace varnel {

namespace {

constexpr int kMaxAttempts = 11;
// The line needs a moment between the purge and the next request.
constexpr int kPauseBeforeWriteMs = 1;
// The logger needs this long after the wake byte before it takes requests.
constexpr int kPauseAfterWakeMs = 700;
constexpr std::uint8_t kWakeByte = 0xFF;
constexpr std::uint8_t kErrorReplyBit = 0x80;
constexpr int kPageSize = 64;
constexpr int kBlockHeaderBytes = 8;


void PauseBeforeWrite() { std::this_thread::sleep_for(std::chrono::milliseconds(kPauseBeforeWriteMs)); }

// After a failed step the caller may retry at once; the pause keeps it from hammering the
// line. A stop in progress needs no pause, nor does a port whose device has gone.
std::int16_t FailAfterPause(std::int16_t code, int timeoutMs) {
  if (!PortVanished()) SleepUnlessCancelled(timeoutMs);
  return code;
}

bool IsDeviceErrorCode(std::uint8_t code) {
  return code == kDeviceError1 || code == kDeviceError2 || code == kDeviceError3 ||
         code == kDeviceError32;
}

bool IsRetryable(std::int16_t result) {
  return result == kBusReadError || result == kBusNoReply || result == kBusBadReply ||
         result == kBusShortReply;
}

// Bytes of the modem's report of the end of the call beyond what a reply needs are read on
// until the line is quiet, at most this many.
constexpr std::size_t kReportTailBytes = 64;
// Bytes the modem sent between two exchanges are looked at before the purge, at most these.
constexpr std::size_t kWaitingBytesLimit = 1000;

// True when the modem's report of the end of the call is among the bytes; the line then
// counts as dropped. A next call that came at once is announced behind the report; it must
// not be lost.
bool TakeCallEnded(const std::uint8_t* bytes, std::size_t n) {
  if (!BytesContainCallEnded(bytes, n)) return false;
  SetLineDropped();
  if (BytesContainUpper(bytes, n, kCallConnectedText)) NoteCallAnnounced();
  return true;
}

// True when the bytes stop inside a modem line: at a line end, or within the first letters
// of the end-of-call report.
bool EndsInsideModemLine(const std::uint8_t* bytes, std::size_t n) {
  if (n == 0) return false;
  if (bytes[n - 1] == '\r' || bytes[n - 1] == '\n') return true;
  return BytesEndInsideCallEnded(bytes, n);
}

// A reply cut short by the end of the call carries the modem's report of it. The report
// can be cut in turn where the reply's length ran out: the rest still on the line is read
// before the bytes are judged, or the retry would purge it and send its request into the
// modem's command mode. A frame with a good CRC is a reply whatever its bytes spell (an
// identity page may hold any text).
std::int16_t CallEndedOr(std::int16_t result, SerialPort& port, PortEvent* event,
                         const std::uint8_t* bytes, int n) {
  if (!IsRetryable(result) || n <= 0) return result;
  std::vector<std::uint8_t> seen(bytes, bytes + n);
  if (EndsInsideModemLine(seen.data(), seen.size())) {
    std::uint8_t rest[kReportTailBytes];
    const IoResult r = port.Read(rest, sizeof rest, event, kSingleWaitLimitMs);
    const std::size_t got = r.Completed() ? std::min<std::size_t>(r.count, sizeof rest) : 0;
    seen.insert(seen.end(), rest, rest + got);
  }
  return TakeCallEnded(seen.data(), seen.size()) ? kBusLineDropped : result;
}

// What the modem sent since the last exchange (it should have sent nothing): its report of
// the end of the call among it means the call is over. True then.
bool CallEndedMeanwhile(SerialPort& port, PortEvent* event) {
  const std::size_t waiting = std::min(port.Waiting(), kWaitingBytesLimit);
  if (waiting == 0) return false;
  std::vector<std::uint8_t> bytes(waiting);
  const IoResult r = port.Read(bytes.data(), waiting, event, kSingleWaitLimitMs);
  return r.Completed() && TakeCallEnded(bytes.data(), std::min<std::size_t>(r.count, waiting));
}

// A request of n content bytes with room for its CRC, the echo and a reply of L bytes.
class Exchange {
public:
  Exchange(std::uint8_t addr, std::uint8_t function, int n, int L)
      : n_(n), L_(L), buffer_(static_cast<std::size_t>(n + L + 4), 0) {
    buffer_[0] = addr;
    buffer_[1] = function;
  }
  std::uint8_t* Request() { return buffer_.data(); }
  std::uint8_t* Data() { return buffer_.data() + 2; }  // request data after address, function
  const std::uint8_t* Reply() const { return buffer_.data() + n_ + 4; }  // reply data
  std::int16_t Run() { return FrameCommand(buffer_.data(), n_, L_); }

private:
  int n_;
  int L_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

const char* BusResultName(std::int16_t code) {
  switch (code) {
    case kBusOk: return "ok";
    case kBusPortError: return "port error";
    case kBusWriteError: return "write error";
    case kBusReadError: return "read error";
    case kBusNoReply: return "no reply";
    case kBusBadReply: return "bad reply";
    case kBusShortReply: return "short reply";
    case kBusLineDropped: return "line dropped";
    case kBusCancelled: return "cancelled";
    case kBusNoReplyExpected: return "no reply expected";
    case kDeviceError1: return "device error 1";
    case kDeviceError2: return "device error 2";
    case kDeviceError3: return "device error 3";
    case kDeviceError32: return "device error 32";
    default: return "unknown";
  }
}

namespace {
std::int16_t CheckReply(const std::uint8_t* buffer, int n, int L, int count, bool echo);
}  // namespace

std::int16_t FrameTransfer(std::uint8_t* buffer, int n, int L) {
  const int t = PortTimeout();
  const bool modem = ModemMode();
  const bool echo = EchoMode();
  const std::shared_ptr<SerialPort> port = AcquirePort();
  const std::shared_ptr<PortEvent> eventHolder = GetPortEvent();
  PortEvent* const event = eventHolder.get();

  // 1. A modem exchange may have left the later-bytes limits in place.
  if (modem && port) port->SetTimeouts(StandardTimeouts(t));

  // 2. A clean line. The modem's report of the end of the call must not go with the purge.
  if (!port || !port->ClearLineError()) return FailAfterPause(kBusPortError, t);
  if (modem && CallEndedMeanwhile(*port, event)) return kBusLineDropped;
  if (!port->Purge()) return FailAfterPause(kBusPortError, t);

  // 3, 4. The request with its CRC.
  PutCrc16BE(buffer, static_cast<std::size_t>(n));
  const auto requestBytes = static_cast<std::uint32_t>(n + 2);
  PauseBeforeWrite();
  const IoResult written = port->Write(buffer, requestBytes, event, kSingleWaitLimitMs);
  if (!written.Completed() || written.count != requestBytes) {
    return FailAfterPause(kBusWriteError, t);
  }

  // 5. Nobody answers a broadcast.
  if (buffer[0] == kBroadcastAddress) return FailAfterPause(kBusNoReplyExpected, t);

  // 6. The reply (preceded by the echo of the request on an echoing line).
  const int wanted = echo ? n + 4 + L : L + 2;
  std::uint8_t* const into = echo ? buffer : buffer + n + 2;
  int got = 0;
  if (modem) {
    // Byte by byte: the modem passes the reply on in pieces, and only the first byte may
    // take the full reply timeout.
    for (; got < wanted; ++got) {
      const IoResult r = port->Read(into + got, 1, event, kSingleWaitLimitMs);
      if (!r.Completed() || r.count == 0) {
        return CallEndedOr(kBusReadError, *port, event, into, got);
      }
      if (got == 0 && !port->SetTimeouts(AfterFirstByteTimeouts())) return kBusReadError;
    }
  } else {
    const IoResult r = port->Read(into, static_cast<std::size_t>(wanted), event,
                                  kSingleWaitLimitMs);
    if (!r.Completed()) return FailAfterPause(kBusReadError, t);
    got = static_cast<int>(r.count);
  }
  const int count = echo ? got : got + n + 2;
  const std::int16_t result = CheckReply(buffer, n, L, count, echo);
  return modem ? CallEndedOr(result, *port, event, into, got) : result;
}

namespace {
// Steps 7 to 11: what the bytes received make of the exchange.
std::int16_t CheckReply(const std::uint8_t* buffer, int n, int L, int count, bool echo) {
  // 7. Length. Without echo the bound deliberately stays L + 2 although count includes the
  // request: a 5-byte error reply to a short-reply command must get through to step 10.
  if (echo ? count < n + 4 + L : count < L + 2) return kBusShortReply;
  // 8.
  if (count <= n + 2) return kBusNoReply;
  // 9.
  if (count < n + 7) return kBusBadReply;
  if (!CheckCrc16BE(buffer + n + 2, static_cast<std::size_t>(count - n - 4))) return kBusBadReply;
  // 10. Error reply: address, function + 0x80, code.
  if (count == n + 7 && buffer[n + 3] == static_cast<std::uint8_t>(buffer[1] + kErrorReplyBit)) {
    const std::uint8_t code = buffer[n + 4];
    return IsDeviceErrorCode(code) ? static_cast<std::int16_t>(code) : kBusBadReply;
  }
  // 11. A frame with a good CRC but shorter than this command's reply would leave the
  // caller reading data that never arrived.
  if (count < n + 2 + L + 2) return kBusShortReply;
  return kBusOk;
}
}  // namespace

std::int16_t FrameCommand(std::uint8_t* buffer, int n, int L) {
  std::int16_t result = kBusOk;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    if (CancelFlag()) {
      result = kBusCancelled;
    } else if (LineDropped()) {
      result = kBusLineDropped;
    } else {
      result = FrameTransfer(buffer, n, L);
      if (CancelFlag()) result = kBusCancelled;
    }
    if (!RetryMode() || !IsRetryable(result)) break;
    if (attempt + 1 < kMaxAttempts) CountRetry();
  }
  return result;
}

std::int16_t SendWakeByte() {
  if (!ModemMode()) return kBusOk;
  const std::shared_ptr<SerialPort> port = AcquirePort();
  if (!port || !port->ClearLineError() || !port->Purge()) return kBusPortError;
  port->SetTimeouts(WakeByteTimeouts());
  PauseBeforeWrite();
  const std::uint8_t wake = kWakeByte;
  const IoResult written = port->WritePlain(&wake, 1);
  if (!written.Completed() || written.count != 1) return kBusWriteError;
  const bool restored = port->SetTimeouts(StandardTimeouts(PortTimeout()));
  SleepUnlessCancelled(kPauseAfterWakeMs);
  return restored ? kBusOk : kBusWriteError;
}

std::int16_t BusReadIdentity(std::uint8_t addr, std::uint8_t id[6]) {
  Exchange x(addr, kReadIdentity, 2, 8);
  const std::int16_t r = x.Run();
  if (r == kBusOk) std::memcpy(id, x.Reply(), 6);
  return r;
}

std::int16_t BusReadSerial(std::uint8_t addr, std::uint32_t& serial) {
  Exchange x(addr, kReadSerial, 2, 6);
  const std::int16_t r = x.Run();
  if (r == kBusOk) serial = GetU32BE(x.Reply());
  return r;
}

std::int16_t BusReadConfig(std::uint8_t addr, std::uint8_t index, std::uint8_t d[5]) {
  Exchange x(addr, kReadConfig, 3, 7);
  x.Data()[0] = index;
  const std::int16_t r = x.Run();
  if (r == kBusOk) std::memcpy(d, x.Reply(), 5);
  return r;
}

std::int16_t BusWriteConfig(std::uint8_t addr, std::uint8_t index, const std::uint8_t d[5]) {
  Exchange x(addr, kWriteConfig, 8, 3);
  x.Data()[0] = index;
  std::memcpy(x.Data() + 1, d, 5);
  return x.Run();  // the one reply byte is not used
}

std::int16_t BusReadFloat(std::uint8_t addr, std::uint8_t index, float& value) {
  Exchange x(addr, kReadFloat, 3, 6);
  x.Data()[0] = index;
  const std::int16_t r = x.Run();
  if (r == kBusOk) value = GetF32BE(x.Reply());
  return r;
}

std::int16_t BusWriteFloat(std::uint8_t addr, std::uint8_t index, float value) {
  Exchange x(addr, kWriteFloat, 7, 3);
  x.Data()[0] = index;
  PutF32BE(value, x.Data() + 1);
  return x.Run();  // the one reply byte is not used
}

std::int16_t BusReadValue(std::uint8_t addr, std::uint8_t channel, float& value,
                          std::uint8_t& status) {
  Exchange x(addr, kReadValue, 3, 7);
  x.Data()[0] = channel;
  const std::int16_t r = x.Run();
  if (r == kBusOk) {
    value = GetF32BE(x.Reply());
    status = x.Reply()[4];
  }
  return r;
}

std::int16_t BusWriteOffset(std::uint8_t addr, std::uint8_t index, float value) {
  Exchange x(addr, kWriteOffset, 7, 3);
  x.Data()[0] = index;
  PutF32BE(value, x.Data() + 1);
  return x.Run();  // the one reply byte is not used
}

std::int16_t BusReadPageBytes(std::uint8_t addr, std::uint16_t page, std::uint8_t offset,
                              std::uint8_t count, std::uint8_t* out) {
  Exchange x(addr, kReadPageBytes, 6, count + 2);
  PutU16BE(page, x.Data());
  x.Data()[2] = offset;
  x.Data()[3] = count;
  const std::int16_t r = x.Run();
  if (r == kBusOk && count > 0) std::memcpy(out, x.Reply(), count);
  return r;
}

std::int16_t BusReadPageBlock(std::uint8_t addr, std::uint16_t page, std::uint8_t count,
                              std::uint8_t* out) {
  const int dataBytes = count == 0 ? kBlockHeaderBytes : kPageSize * count;
  Exchange x(addr, kReadPageBlock, 5, dataBytes + 2);
  PutU16BE(page, x.Data());
  x.Data()[2] = count;
  const std::int16_t r = x.Run();
  if (r == kBusOk) std::memcpy(out, x.Reply(), static_cast<std::size_t>(dataBytes));
  return r;
}

std::int16_t BusWritePageBytes(std::uint8_t addr, std::uint16_t page, std::uint8_t offset,
                               std::uint8_t count, const std::uint8_t* data) {
  Exchange x(addr, kWritePageBytes, count + 6, 3);
  PutU16BE(page, x.Data());
  x.Data()[2] = offset;
  x.Data()[3] = count;
  if (count > 0) std::memcpy(x.Data() + 4, data, count);
  return x.Run();  // the one reply byte is not used
}

}  // namespace varnel
