#include "sim/modem.h"

#include <algorithm>

namespace varnel::sim {

Modem::Modem(const ModemSettings& settings, std::int64_t nowMs)
    : settings_(settings), at_(settings.numericResults), quietSinceMs_(nowMs) {}

std::string Modem::Line(const std::string& text) const { return "\r\n" + text + "\r\n"; }

void Modem::FromHost(const std::uint8_t* data, std::size_t n, std::int64_t nowMs, Output& out) {
  if (n == 0) return;
  Tick(nowMs, out);
  if (online_) {
    out.toLogger.insert(out.toLogger.end(), data, data + n);
    return;
  }
  quietSinceMs_ = nowMs;  // the host is still busy with the modem; the call waits
  out.toHost += at_.Feed(std::string_view(reinterpret_cast<const char*>(data), n));
}

void Modem::LoggerRestarted(std::int64_t nowMs) {
  if (online_ && hangupDueMs_ < 0) hangupDueMs_ = nowMs + settings_.hangupAfterMs;
}

void Modem::HangUp(std::int64_t nowMs, Output& out) {
  if (!online_) return;
  online_ = false;
  hangupDueMs_ = -1;
  quietSinceMs_ = nowMs;
  ++callsEnded_;
  at_.ClearLine();
  out.toHost += Line(settings_.hangupText);
  out.callEnded = true;
}

void Modem::Tick(std::int64_t nowMs, Output& out) {
  if (online_) {
    if (hangupDueMs_ >= 0 && nowMs >= hangupDueMs_) {
      HangUp(nowMs, out);
    } else if (settings_.idleHangupMs > 0 && nowMs - lastActivityMs_ >= settings_.idleHangupMs) {
      HangUp(nowMs, out);
    }
    return;
  }
  if (ringing_) {
    Ring(nowMs, out);
  } else if (!settings_.dialled && Free(nowMs)) {
    Dial(nowMs, out);
  }
}

bool Modem::Free(std::int64_t nowMs) const {
  const std::int64_t from = FreeFrom();
  return from >= 0 && nowMs >= from;
}

std::int64_t Modem::FreeFrom() const {
  if (online_ || ringing_ || !CallAllowed()) return -1;
  return quietSinceMs_ + settings_.callAfterMs;
}

void Modem::Dial(std::int64_t nowMs, Output& out) {
  if (!Free(nowMs)) return;
  ringing_ = true;
  ringsSent_ = 0;
  nextRingMs_ = nowMs;
  Ring(nowMs, out);
}

void Modem::Ring(std::int64_t nowMs, Output& out) {
  if (nowMs < nextRingMs_) return;
  if (ringsSent_ < settings_.rings) {
    out.toHost += Line("RING");
    ++ringsSent_;
    nextRingMs_ = nowMs + settings_.ringPauseMs;
    return;
  }
  ringing_ = false;
  online_ = true;
  ++callsMade_;
  lastActivityMs_ = nowMs;
  hangupDueMs_ = -1;
  out.toHost += Line(settings_.connectText);
  out.callStarted = true;
}

std::int64_t Modem::NextDeadline() const {
  if (online_) {
    std::int64_t due = -1;
    if (hangupDueMs_ >= 0) due = hangupDueMs_;
    if (settings_.idleHangupMs > 0) {
      const std::int64_t idle = lastActivityMs_ + settings_.idleHangupMs;
      due = due < 0 ? idle : std::min(due, idle);
    }
    return due;
  }
  if (ringing_) return nextRingMs_;
  return settings_.dialled ? -1 : FreeFrom();
}

bool Modem::CallAllowed() const {
  if (settings_.calls > 0 && callsMade_ >= settings_.calls) return false;
  return !settings_.waitForSetup || at_.commandsRun() > 0;
}

}  // namespace varnel::sim
