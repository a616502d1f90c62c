#include "sim/sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "sim/command_handler.h"

namespace varnel::sim {

namespace {

bool ParseUnsigned(const std::string& s, std::uint64_t max, std::uint64_t& out) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(s.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || end == s.c_str() || *end != '\0' || v > max) return false;
  out = v;
  return true;
}

bool ParseSeconds(const std::string& s, double& out) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end == s.c_str() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 86400)
    return false;
  out = v;
  return true;
}

std::int64_t Ms(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * 1000.0)); }

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

struct OptionRule {
  bool takesValue;
  std::function<std::string(SimOptions&, const std::string&)> apply;  // "" or the complaint
};

std::map<std::string, OptionRule> OptionRules() {
  std::map<std::string, OptionRule> m;
  auto flag = [&m](const char* name, std::function<void(SimOptions&)> f) {
    m[name] = {false, [f](SimOptions& o, const std::string&) {
                 f(o);
                 return std::string();
               }};
  };
  auto uint = [&m](const char* name, std::uint64_t lo, std::uint64_t hi,
                   std::function<void(SimOptions&, std::uint64_t)> f) {
    m[name] = {true, [=](SimOptions& o, const std::string& v) {
                 std::uint64_t n = 0;
                 if (!ParseUnsigned(v, hi, n) || n < lo)
                   return "expects a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
                 f(o, n);
                 return std::string();
               }};
  };
  auto seconds = [&m](const char* name, std::function<void(SimOptions&, double)> f) {
    m[name] = {true, [=](SimOptions& o, const std::string& v) {
                 double s = 0;
                 if (!ParseSeconds(v, s)) return std::string("expects seconds (fractions allowed), 0 to 86400");
                 f(o, s);
                 return std::string();
               }};
  };
  auto text = [&m](const char* name, std::function<std::string(SimOptions&, const std::string&)> f) {
    m[name] = {true, f};
  };

  flag("--help", [](SimOptions& o) { o.help = true; });
  uint("--port", 0, 9, [](SimOptions& o, std::uint64_t v) { o.port = static_cast<int>(v); });
  text("--device", [](SimOptions& o, const std::string& v) {
    o.device = v;
    return v.empty() ? "expects a device path" : "";
  });
  flag("--force-link", [](SimOptions& o) { o.forceLink = true; });
  text("--baud", [](SimOptions& o, const std::string& v) {
    std::uint64_t n = 0;
    if (!ParseUnsigned(v, 4000000, n) || (n != 0 && n < 50)) return "expects 0 (full speed) or a rate from 50 to 4000000";
    o.baud = static_cast<unsigned>(n);
    return "";
  });
  flag("--echo", [](SimOptions& o) { o.echo = true; });
  uint("--reply-delay", 0, 10000, [](SimOptions& o, std::uint64_t v) { o.replyDelayMs = static_cast<int>(v); });

  flag("--modem", [](SimOptions& o) { o.modem = true; });
  seconds("--call-after", [](SimOptions& o, double s) { o.modemSettings.callAfterMs = Ms(s); });
  seconds("--hangup-after", [](SimOptions& o, double s) { o.modemSettings.hangupAfterMs = Ms(s); });
  seconds("--idle-hangup", [](SimOptions& o, double s) { o.modemSettings.idleHangupMs = Ms(s); });
  uint("--calls", 0, 1000000, [](SimOptions& o, std::uint64_t v) { o.modemSettings.calls = static_cast<int>(v); });
  text("--hangup-text", [](SimOptions& o, const std::string& v) {
    o.modemSettings.hangupText = v;
    return v.empty() ? "expects a text" : "";
  });
  uint("--ring", 0, 100, [](SimOptions& o, std::uint64_t v) { o.modemSettings.rings = static_cast<int>(v); });
  seconds("--ring-pause", [](SimOptions& o, double s) { o.modemSettings.ringPauseMs = Ms(s); });
  flag("--numeric", [](SimOptions& o) { o.modemSettings.numericResults = true; });
  flag("--no-setup-wait", [](SimOptions& o) { o.modemSettings.waitForSetup = false; });
  seconds("--linger", [](SimOptions& o, double s) { o.lingerSeconds = s; });

  uint("--fleet", 1, 1000, [](SimOptions& o, std::uint64_t v) { o.fleet.loggers = static_cast<int>(v); });
  uint("--fleet-calls", 1, 100000, [](SimOptions& o, std::uint64_t v) { o.fleet.callsEach = static_cast<int>(v); });
  seconds("--fleet-window", [](SimOptions& o, double s) { o.fleet.windowMs = Ms(s); });
  seconds("--call-every", [](SimOptions& o, double s) { o.fleet.callEveryMs = Ms(s); });
  seconds("--retry-pause", [](SimOptions& o, double s) { o.fleet.retryPauseMs = Ms(s); });
  uint("--retries", 0, 1000, [](SimOptions& o, std::uint64_t v) { o.fleet.retries = static_cast<int>(v); });

  uint("--address", 1, 254, [](SimOptions& o, std::uint64_t v) { o.address = static_cast<int>(v); });
  uint("--seed", 0, UINT64_MAX, [](SimOptions& o, std::uint64_t v) { o.logger.seed = v; });
  uint("--records", 0, 8192, [](SimOptions& o, std::uint64_t v) { o.logger.fill.records = static_cast<int>(v); });
  uint("--last-page", 5, 65535, [](SimOptions& o, std::uint64_t v) { o.logger.layout.lastPage = static_cast<std::uint16_t>(v); });
  uint("--reserved-pages", 0, 255, [](SimOptions& o, std::uint64_t v) { o.logger.layout.reservedPages = static_cast<std::uint8_t>(v); });
  flag("--wrapped", [](SimOptions& o) { o.logger.fill.wrapped = true; });
  uint("--record-pages", 1, 8192, [](SimOptions& o, std::uint64_t v) { o.logger.fill.maxPagesPerRecord = static_cast<int>(v); });
  uint("--recording", 4, 1000000, [](SimOptions& o, std::uint64_t v) { o.logger.recordEvery = static_cast<int>(v); });
  uint("--pages-between-calls", 1, 8192, [](SimOptions& o, std::uint64_t v) { o.logger.pagesBetweenCalls = static_cast<int>(v); });
  uint("--entries-between-calls", 1, 1000000, [](SimOptions& o, std::uint64_t v) { o.logger.entriesBetweenCalls = static_cast<int>(v); });
  uint("--newest-pages", 1, 65535, [](SimOptions& o, std::uint64_t v) { o.logger.fill.newestPages = static_cast<int>(v); });
  text("--start-time", [](SimOptions& o, const std::string& v) {
    const auto t = ParseDeviceTime(v);
    if (!t) return "expects YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS] or seconds since 2000-01-01";
    o.logger.fill.firstStart = *t;
    return "";
  });
  text("--clock", [](SimOptions& o, const std::string& v) {
    const auto t = ParseDeviceTime(v);
    if (!t) return "expects YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS] or seconds since 2000-01-01";
    o.logger.clock = *t;
    return "";
  });
  uint("--channels", 1, 0x7FFF, [](SimOptions& o, std::uint64_t v) { o.logger.registers.channelMask = static_cast<std::uint16_t>(v); });
  uint("--serial", 0, 0xFFFFFFFFull, [](SimOptions& o, std::uint64_t v) { o.logger.registers.serial = static_cast<std::uint32_t>(v); });
  text("--firmware", [](SimOptions& o, const std::string& v) {
    const auto dot = v.find('.');
    std::uint64_t major = 0, minor = 0;
    if (dot == std::string::npos || !ParseUnsigned(v.substr(0, dot), 255, major) ||
        !ParseUnsigned(v.substr(dot + 1), 255, minor))
      return "expects MAJOR.MINOR, e.g. 3.12";
    o.logger.registers.identity[2] = static_cast<std::uint8_t>(major);
    o.logger.registers.identity[3] = static_cast<std::uint8_t>(minor);
    return "";
  });
  text("--identity-bytes", [](SimOptions& o, const std::string& v) {
    if (v.size() != 12) return "expects 12 hex digits (the six identity bytes)";
    for (std::size_t i = 0; i < 6; ++i) {
      std::uint64_t b = 0;
      if (!ParseUnsigned("0x" + v.substr(2 * i, 2), 255, b)) return "expects 12 hex digits (the six identity bytes)";
      o.logger.registers.identity[i] = static_cast<std::uint8_t>(b);
    }
    return "";
  });
  text("--id-text", [](SimOptions& o, const std::string& v) {
    o.logger.identityText = v;
    return v.size() > 64 ? "holds 64 bytes at most" : "";
  });
  text("--comment", [](SimOptions& o, const std::string& v) {
    o.logger.commentText = Unescape(v);
    return "";
  });
  uint("--battery", 0, 100, [](SimOptions& o, std::uint64_t v) { o.logger.registers.battery = static_cast<std::uint8_t>(v); });
  text("--error-bits", [](SimOptions& o, const std::string& v) {
    std::size_t start = 0;
    while (start <= v.size()) {
      const std::size_t comma = std::min(v.find(',', start), v.size());
      const std::string word = v.substr(start, comma - start);
      if (word == "record") o.logger.registers.state |= kStateRecordError;
      else if (word == "battery") o.logger.registers.errors |= kErrorBattery;
      else if (word == "ack") o.logger.registers.errors |= kErrorAcknowledge;
      else return "expects a list of record, battery, ack";
      start = comma + 1;
    }
    return "";
  });

  text("--truth", [](SimOptions& o, const std::string& v) { o.truthPath = v; return v.empty() ? "expects a path" : ""; });
  text("--frames", [](SimOptions& o, const std::string& v) { o.framesPath = v; return v.empty() ? "expects a path" : ""; });
  text("--memory-dump", [](SimOptions& o, const std::string& v) { o.memoryDumpPath = v; return v.empty() ? "expects a path" : ""; });

  uint("--ignore-identity", 0, 1000000, [](SimOptions& o, std::uint64_t v) { o.logger.faults.ignoreIdentity = static_cast<int>(v); });
  text("--corrupt", [](SimOptions& o, const std::string& v) {
    char* end = nullptr;
    const double f = std::strtod(v.c_str(), &end);
    if (end == v.c_str() || *end != '\0' || !(f >= 0.0 && f <= 1.0)) return "expects a fraction from 0 to 1";
    o.logger.faults.corruptFraction = f;
    return "";
  });
  uint("--stop-after-pages", 0, 100000000, [](SimOptions& o, std::uint64_t v) { o.logger.faults.stopAfterPageReads = static_cast<int>(v); });
  uint("--hangup-after-pages", 0, 100000000, [](SimOptions& o, std::uint64_t v) { o.logger.faults.hangupAfterPageReads = static_cast<int>(v); });
  text("--broken-layout", [](SimOptions& o, const std::string& v) {
    using Broken = LoggerRegisters::BrokenLayout;
    if (v == "reserved") {
      o.logger.registers.brokenLayout = Broken::Reserved;
    } else if (v == "pointer") {
      o.logger.registers.brokenLayout = Broken::Pointer;
    } else {
      return "expects reserved or pointer";
    }
    return "";
  });
  uint("--next-serial", 0, 0xFFFFFFFFull, [](SimOptions& o, std::uint64_t v) { o.logger.faults.nextSerial = static_cast<std::uint32_t>(v); });
  text("--error-reply", [](SimOptions& o, const std::string& v) {
    const auto c1 = v.find(':');
    const auto c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
    std::uint64_t fn = 0, code = 0, skip = 0;
    const char* usage = "expects FUNCTION:CODE[:SKIP], e.g. 68:2 or 0x5D:3:1";
    if (c1 == std::string::npos || !ParseUnsigned(v.substr(0, c1), 0x7F, fn) ||
        !ParseUnsigned(v.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), 255, code) ||
        (c2 != std::string::npos && !ParseUnsigned(v.substr(c2 + 1), 100000000, skip)))
      return usage;
    o.logger.faults.errorReplies.push_back({static_cast<std::uint8_t>(fn), static_cast<std::uint8_t>(code), static_cast<int>(skip)});
    return "";
  });
  return m;
}

// Why the fleet options cannot be used together with the rest, or "".
std::string CheckFleet(SimOptions& o, const std::set<std::string>& given) {
  if (o.fleet.loggers == 0) {
    for (const char* name : {"--fleet-calls", "--fleet-window", "--call-every", "--retry-pause", "--retries"}) {
      if (given.count(name)) return std::string(name) + " needs --fleet";
    }
    return "";
  }
  if (!o.modem) return "--fleet needs --modem (the loggers call in through it)";
  if (given.count("--calls")) return "--calls does not go with --fleet: each logger makes --fleet-calls calls";
  if (given.count("--id-text"))
    return "--id-text does not go with --fleet: each logger's identity text is \"Logger <serial>\"";
  if (given.count("--next-serial")) return "--next-serial does not go with --fleet: the serials would collide";
  if (std::uint64_t{o.logger.registers.serial} + static_cast<std::uint64_t>(o.fleet.loggers) - 1 > 0xFFFFFFFFull)
    return "--fleet: the serial numbers from --serial on would pass 4294967295";
  o.modemSettings.dialled = true;
  return "";
}

}  // namespace

std::optional<std::uint32_t> ParseDeviceTime(const std::string& text) {
  std::uint64_t seconds = 0;
  if (ParseUnsigned(text, 0xFFFFFFFFull, seconds)) return static_cast<std::uint32_t>(seconds);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  const bool dateOnly = n == 3 && text.size() == 10;
  const bool withTime = n == 5 || n == 6;
  if (!(dateOnly || withTime) || y < 2000 || y > 2135 || mo < 1 || mo > 12 || d < 1 || d > 31 ||
      h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
    return std::nullopt;
  const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
                            DaysFromCivil(2000, 1, 1);
  const std::int64_t total = days * 86400 + h * 3600 + mi * 60 + s;
  if (total < 0 || total > 0xFFFFFFFFll) return std::nullopt;
  return static_cast<std::uint32_t>(total);
}

std::vector<std::string> SimOptionNames() {
  std::vector<std::string> names;
  for (const auto& [name, rule] : OptionRules()) names.push_back(name);
  return names;
}

ParsedOptions ParseSimOptions(const std::vector<std::string>& args) {
  ParsedOptions r;
  SimOptions& o = r.options;
  o.logger.commentText = "Stand-in logger\r\nbehind a simulated modem";
  const auto rules = OptionRules();
  std::set<std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool inlineValue = false;
    if (name == "-h") name = "--help";
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const auto it = rules.find(name);
    if (it == rules.end()) {
      r.error = "unknown option " + args[i] + " (see --help)";
      return r;
    }
    if (it->second.takesValue && !inlineValue) {
      if (i + 1 >= args.size()) {
        r.error = name + " needs a value";
        return r;
      }
      value = args[++i];
    } else if (!it->second.takesValue && inlineValue) {
      r.error = name + " takes no value";
      return r;
    }
    if (std::string complaint = it->second.apply(o, value); !complaint.empty()) {
      r.error = name + " " + complaint;
      return r;
    }
    given.insert(name);
  }
  if (o.help) return r;
  if (std::string why = CheckFleet(o, given); !why.empty()) {
    r.error = why;
    return r;
  }

  if (o.address < 0) o.address = o.modem ? 251 : 250;
  o.logger.address = static_cast<std::uint8_t>(o.address);
  if (std::string why = CheckLayout(o.logger.layout); !why.empty()) {
    r.error = "memory layout: " + why;
    return r;
  }
  if (o.logger.layout.reservedPages == 0) {
    // The ring fills the memory: there is no page for the texts.
    o.logger.identityText.clear();
    o.logger.commentText.clear();
  }
  const std::size_t commentRoom =
      o.logger.layout.reservedPages == 0
          ? 0
          : (std::size_t{o.logger.layout.lastPage} - o.logger.layout.CommentPage() + 1) * kPageSize;
  if (o.logger.commentText.size() > commentRoom) {
    r.error = "--comment does not fit into the comment pages (" + std::to_string(commentRoom) + " bytes)";
    return r;
  }
  if (o.logger.faults.hangupAfterPageReads >= 0 && !o.modem) {
    r.error = "--hangup-after-pages needs --modem (only a modem can drop the line)";
    return r;
  }
  if (o.logger.recordEvery > 0 || o.logger.pagesBetweenCalls > 0 || o.logger.entriesBetweenCalls > 0) {
    o.logger.registers.state |= kStateActive;
  }
  return r;
}

std::string SimHelpText() {
  return R"(Usage: vtq-sim [options]

Stands in for a VTQ pressure logger and, with --modem, for the telephone modems between it
and the collector. It opens a pseudo-terminal, links its slave as COM port N in the ports
folder ($VARNEL_PORTS, else $XDG_CONFIG_HOME/varnel/ports or ~/.config/varnel/ports), prints
the device and "ready", and answers until SIGINT or SIGTERM, when it removes the link.

Line
  --port N               COM port number to publish, 0..9 (default 1)
  --device PATH          use this serial device instead of a pseudo-terminal; no link is made
  --force-link           take over a com<N> link that points at a live device (it is put
                         back at exit); a dangling link is always replaced
  --baud B               pace both directions at B baud, 10 bits a byte: a request is taken
                         once its last byte would have arrived, and every byte sent takes
                         its byte time (default 0: full speed)
  --echo                 echo every byte of a call back, as a two-wire line does
  --reply-delay MS       wait MS milliseconds before each reply (default 0)

Modem (without --modem the logger is wired to the port and answers at once)
  --modem                answer the AT dialogue as the PC's modem; the logger calls in
  --call-after S         seconds of quiet in command mode before the logger calls and the
                         modem reports "CONNECTION OK" (default 3; fractions allowed). Each
                         command typed restarts the wait, so the call never lands in the
                         middle of the modem set-up; keep it above 2.5 s with the collector,
                         which reads a modem answer up to 2.2 s after its command and the
                         end-of-call report 2 s after it arrived
  --no-setup-wait        let the first call come without any AT command typed (for a host
                         that skips the modem set-up); by default the modem takes no call
                         before the host has set it up
  --hangup-after S       seconds from the logger's restart command to the end of the call
                         (default 2)
  --idle-hangup S        end a call after S seconds without a request to the logger
                         (default 30; 0: never)
  --calls N              calls to make (default 0: no limit). After the last call has ended
                         vtq-sim lingers (see --linger) and exits with status 0. Without
                         --modem, N counts the logger's restart commands instead
  --linger S             seconds to stay after the last call before exiting (default 3), so
                         the host can still read the end-of-call report
  --hangup-text TEXT     the end-of-call report (default "Disconnected"; the collector wakes
                         on a lower-case "t" and looks for "DISCONNECTED" in upper case)
  --ring N               report "RING" N times before each connection (default 0)
  --ring-pause S         seconds after each "RING" (default 1); the modem is busy meanwhile
  --numeric              start with numeric result codes ("0" for OK), as after ATV0

Fleet (several loggers behind the one modem, as on an operator's morning)
  --fleet N              N loggers call the modem (needs --modem). Their serial numbers run
                         from --serial on, each has the identity text "Logger <serial>" and
                         a memory of its own, generated from a seed that follows from --seed
                         and its serial alone (so it does not depend on N); the other logger
                         options apply to each. The schedule starts when the modem could
                         first take a call (set up by the host and quiet for --call-after)
  --fleet-calls K        calls each logger makes (default 1); then, once every logger is
                         done, vtq-sim lingers and exits 0
  --fleet-window S       the first calls fall within S seconds from the start, each at an
                         offset that follows from --seed and the serial (default 0: all due
                         at once)
  --call-every S         seconds from the end of a logger's call to its next (default 60)
  --retry-pause S        a logger that finds the line busy (the modem online, ringing or
                         within its quiet time) dials again after S seconds (default 30);
                         loggers due at once dial in the order of their due time, then serial
  --retries R            dials after the first before the logger gives the call up
                         (default 5); its next call is then due --call-every later

Logger
  --address A            bus address, 1..254 (default 250, or 251 with --modem)
  --seed N               seed of the generated memory and of the faults (default 1)
  --records N            recording runs in the memory (default 5)
  --record-pages N       at most N pages per run in a ring that has not wrapped (default 40)
  --wrapped              the ring has been written past its end: its oldest run has lost
                         its first pages
  --recording N          the logger is recording: every N requests it writes a new page,
                         overwriting the oldest when the ring is full (N >= 4)
  --pages-between-calls N
                         the logger is recording between calls: after each call has ended
                         it writes N more pages of its newest run (its restart does not begin
                         a new run), overwriting the oldest when the ring is full. The memory
                         of each call then follows from the seed and the call number alone
  --entries-between-calls N
                         the same, entry by entry: after each call the logger adds N entries
                         to its newest run, filling its newest page first (over the end mark
                         and whatever followed it) and opening new pages when that is full
  --newest-pages N       the newest run holds exactly N pages (a ring that has not wrapped)
  --last-page P          last page of memory (default 2047, a 1-Mbit logger)
  --reserved-pages R     pages above the ring: the identity page and the comment pages
                         (default 8, at least 2; 0: the ring fills the memory and the logger
                         keeps no identity text or comment)
  --start-time T         start of the oldest run (default 2024-01-08T06:00:00)
  --clock T              device clock at start (default 5 minutes after the newest entry);
                         T is YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS] or seconds since 2000-01-01
  --channels MASK        channels measured, bit n = channel n (default 0x0007: temperature
                         on channel 0, P1 on 1, P2 on 2)
  --serial N             serial number (default 40123)
  --firmware X.Y         firmware version in identity bytes 2 and 3 (default 3.12)
  --identity-bytes HEX   all six identity bytes as 12 hex digits (default 0501030c1000)
  --id-text TEXT         identity text, up to 64 bytes (default "Pump station 4"), kept
                         byte for byte as the logger's 8-bit code-page text (in bash,
                         --id-text $'Br\xfccke 7' is "Brücke 7" in Latin-1)
  --comment TEXT         comment text; \n stands for CR LF
  --battery P            battery capacity in percent (default 87)
  --error-bits LIST      report errors in the state entry: record, battery, ack

Output
  --truth PATH           JSON truth file: the records a correct reader finds (pages, start
                         time, decoded entries), identity, comment, serial number, channel
                         mask, battery, the settings a host copies (entries 4..9, floats
                         80..111), and everything the logger received. Written at start,
                         after every call and at exit. With --fleet: for each logger its
                         serial, identity text, seed, the counts of its calls (attempted,
                         answered, busy, retried, given up) and, per call answered, the
                         records it held when it answered
  --frames PATH          one JSON line per request frame: time, call, address, function,
                         data, reply and a note on faults (with --fleet also the serial;
                         the call is then the logger's own call number)
  --memory-dump PATH     the generated memory image, (last page + 1) * 64 bytes, at start
                         (with --fleet one per logger: PATH with "-<serial>" before its
                         extension)

Faults
  --ignore-identity N    leave the first N identity requests of the run unanswered
  --corrupt F            flip one bit in this fraction of replies (0..1, seeded)
  --stop-after-pages N   answer N page reads of a call, then nothing more until the call
                         ends (without --modem: for the rest of the run). Page reads are
                         all requests of functions 67 and 68: page headers, the identity
                         and comment pages and record pages alike
  --hangup-after-pages N (with --modem) answer N page reads of the first call, then drop
                         the line halfway through the next reply and report the end of the
                         call; later calls run normally
  --broken-layout K      report an impossible memory layout: K = reserved (entry 2 gives
                         more reserved pages than the memory has pages, at most 255) or
                         pointer (entry 1 gives the last page as the write pointer)
  --next-serial S        report serial number S from the second call on (without --modem a
                         call ends with the logger's restart command)
  --error-reply F:C[:K]  answer function F with device error code C, after K normal answers
                         (repeatable; F in decimal or 0x hex)

  --help                 this text
)";
}

}  // namespace varnel::sim
