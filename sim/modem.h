#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/at_interpreter.h"

namespace varnel::sim {

struct ModemSettings {
  std::int64_t callAfterMs = 3000;     // quiet time in command mode before the logger calls
  std::int64_t hangupAfterMs = 2000;   // from the logger's restart to the end of the call
  std::int64_t idleHangupMs = 30000;   // a call with no request to the logger for this long ends; 0: never
  int calls = 0;                       // calls to make; 0: no limit
  std::string hangupText = "Disconnected";
  std::string connectText = "CONNECTION OK";
  int rings = 0;                       // "RING" reports before the connection
  std::int64_t ringPauseMs = 1000;     // after each of them
  bool numericResults = false;
  // No call before the host has typed at least one AT command: a modem nobody has set up
  // does not take the call (so the logger does not call before the collector is there).
  bool waitForSetup = true;
  // The calls come when Dial says (several loggers share the modem and keep their own
  // schedule), not by themselves after the quiet time.
  bool dialled = false;
};

// The PC's modem with the logger's call behind it. In command mode it runs the AT dialogue;
// once the line has been quiet for callAfterMs the logger calls and the modem reports the
// connection. Online it passes every byte to the logger. The call ends hangupAfterMs after
// the logger's restart, after idleHangupMs without a request the logger took (the logger
// gives up on a silent or garbled line, even when the host keeps typing), or when told to
// drop the line; the modem then reports the end of the call and is back in command mode,
// where the next call follows after the quiet time again. A call may ring first: the modem
// reports "RING" a few times, a pause after each, before it reports the connection.
class Modem {
 public:
  struct Output {
    std::string toHost;                   // modem texts and echo
    std::vector<std::uint8_t> toLogger;   // bytes of the call
    bool callStarted = false;
    bool callEnded = false;
  };

  Modem(const ModemSettings& settings, std::int64_t nowMs);

  void FromHost(const std::uint8_t* data, std::size_t n, std::int64_t nowMs, Output& out);
  void Tick(std::int64_t nowMs, Output& out);
  void LoggerRestarted(std::int64_t nowMs);
  // The logger took a request: the call is in use.
  void LoggerBusy(std::int64_t nowMs) { lastActivityMs_ = nowMs; }
  // The line drops now (a fault in the middle of a transfer).
  void HangUp(std::int64_t nowMs, Output& out);

  // A call could come in now: the modem is in command mode, not ringing, set up if it must
  // be, and the line has been quiet for callAfterMs.
  bool Free(std::int64_t nowMs) const;
  // From when the modem is free while nobody types to it, or -1 (online, ringing, not set up).
  std::int64_t FreeFrom() const;
  // A logger calls (only when Free): the modem rings, then connects.
  void Dial(std::int64_t nowMs, Output& out);

  // When Tick next has something to do, or -1.
  std::int64_t NextDeadline() const;
  bool online() const { return online_; }
  int callsMade() const { return callsMade_; }
  int callsEnded() const { return callsEnded_; }
  // Every call of the limit has been made and has ended.
  bool finished() const { return settings_.calls > 0 && callsEnded_ >= settings_.calls; }

 private:
  std::string Line(const std::string& text) const;
  void Ring(std::int64_t nowMs, Output& out);

  ModemSettings settings_;
  AtInterpreter at_;
  bool online_ = false;
  std::int64_t quietSinceMs_;          // command mode: last byte received or end of a call
  std::int64_t lastActivityMs_ = 0;    // online: call start or the last request
  std::int64_t hangupDueMs_ = -1;
  bool ringing_ = false;
  int ringsSent_ = 0;
  std::int64_t nextRingMs_ = 0;
  bool CallAllowed() const;
  int callsMade_ = 0;
  int callsEnded_ = 0;
};

}  // namespace varnel::sim
