#include "sim/fleet.h"

#include <algorithm>
#include <sstream>
#include <tuple>

#include "sim/prng.h"
#include "sim/truth_file.h"

namespace varnel::sim {

namespace {

constexpr std::uint64_t kSeedTag = 0x464C454554ull;  // "FLEET"
constexpr std::uint64_t kDueTag = 0x445545ull;       // "DUE"

std::string Seconds(std::int64_t ms) {
  std::ostringstream s;
  s << static_cast<double>(ms) / 1000.0;
  return s.str();
}

}  // namespace

LoggerSetup FleetLoggerSetup(const LoggerSetup& shared, std::uint32_t serial) {
  LoggerSetup s = shared;
  s.registers.serial = serial;
  s.seed = Mix64(shared.seed, serial, kSeedTag) >> 11;
  // A logger without text pages keeps no identity text; the memory simply has no room.
  s.identityText = "Logger " + std::to_string(serial);
  return s;
}

Fleet::Fleet(const FleetSettings& settings, const LoggerSetup& shared) : settings_(settings) {
  if (settings.loggers < 1) {
    error_ = "a fleet needs at least one logger";
    return;
  }
  members_.reserve(static_cast<std::size_t>(settings.loggers));
  for (int i = 0; i < settings.loggers; ++i) {
    Member m;
    m.serial = shared.registers.serial + static_cast<std::uint32_t>(i);
    const LoggerSetup setup = FleetLoggerSetup(shared, m.serial);
    m.seed = setup.seed;
    // Each offset follows from the seed and the serial, so adding loggers moves nobody.
    if (settings.windowMs > 0) {
      const std::uint64_t span = static_cast<std::uint64_t>(settings.windowMs) + 1;
      m.firstCallMs = static_cast<std::int64_t>(Mix64(shared.seed, m.serial, kDueTag) % span);
    }
    m.logger = std::make_unique<Logger>(setup);
    if (error_.empty() && !m.logger->error().empty())
      error_ = "logger " + std::to_string(m.serial) + ": " + m.logger->error();
    m.callsLeft = settings.callsEach;
    members_.push_back(std::move(m));
  }
}

void Fleet::CallFinished(Member& m, std::int64_t fromMs) {
  --m.callsLeft;
  m.failedDials = 0;
  m.dueMs = m.callsLeft > 0 ? fromMs + settings_.callEveryMs : -1;
}

void Fleet::Tick(std::int64_t nowMs, Modem& modem, Modem::Output& out,
                 std::vector<std::string>& notes) {
  if (members_.empty()) return;
  if (startMs_ < 0) {
    // The morning begins when the collector's modem could first take a call.
    if (!modem.Free(nowMs)) return;
    startMs_ = nowMs;
    for (Member& m : members_) m.dueMs = m.callsLeft > 0 ? nowMs + m.firstCallMs : -1;
  }
  std::vector<std::size_t> due;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (members_[i].dueMs >= 0 && members_[i].dueMs <= nowMs) due.push_back(i);
  }
  std::sort(due.begin(), due.end(), [this](std::size_t a, std::size_t b) {
    const Member& x = members_[a];
    const Member& y = members_[b];
    return std::tie(x.dueMs, x.serial) < std::tie(y.dueMs, y.serial);
  });
  for (std::size_t i : due) {
    Member& m = members_[i];
    if (m.failedDials == 0) {
      ++m.counts.attempted;
    } else {
      ++m.counts.retried;
    }
    if (caller_ < 0 && modem.Free(nowMs)) {
      caller_ = static_cast<int>(i);
      m.dueMs = -1;
      m.failedDials = 0;
      modem.Dial(nowMs, out);
      continue;
    }
    ++m.counts.busy;
    ++m.failedDials;
    const std::string who = "serial " + std::to_string(m.serial) + " finds the line busy";
    if (m.failedDials <= settings_.retries) {
      // From the due time, not from this tick, so that the order of retries stays the
      // order of the dials however late the tick came.
      m.dueMs += settings_.retryPauseMs;
      notes.push_back(who + ", retry " + std::to_string(m.failedDials) + " of " +
                      std::to_string(settings_.retries) + " in " +
                      Seconds(settings_.retryPauseMs) + " s");
    } else {
      ++m.counts.givenUp;
      notes.push_back(who + " and gives up its call " +
                      std::to_string(settings_.callsEach - m.callsLeft + 1) + " of " +
                      std::to_string(settings_.callsEach));
      CallFinished(m, m.dueMs);
    }
  }
}

Logger& Fleet::Connected(std::int64_t nowMs, int modemCall) {
  if (caller_ < 0) return first();  // cannot happen: a dialled modem connects only dialled calls
  Member& m = members_[static_cast<std::size_t>(caller_)];
  ++m.counts.answered;
  m.calls.push_back(
      {m.logger->callNumber(), modemCall, nowMs, -1, RecordsJson(*m.logger, "       ")});
  return *m.logger;
}

void Fleet::Ended(std::int64_t nowMs) {
  if (caller_ < 0) return;
  Member& m = members_[static_cast<std::size_t>(caller_)];
  if (!m.calls.empty()) m.calls.back().endedMs = nowMs;
  CallFinished(m, nowMs);
  caller_ = -1;
}

std::int64_t Fleet::NextDeadline(const Modem& modem) const {
  if (startMs_ < 0) return modem.FreeFrom();
  std::int64_t next = -1;
  for (const Member& m : members_) {
    if (m.dueMs >= 0 && (next < 0 || m.dueMs < next)) next = m.dueMs;
  }
  return next;
}

bool Fleet::Done() const {
  if (startMs_ < 0 || caller_ >= 0) return false;
  return std::all_of(members_.begin(), members_.end(), [](const Member& m) { return m.dueMs < 0; });
}

}  // namespace varnel::sim
