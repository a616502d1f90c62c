#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/logger.h"
#include "sim/modem.h"

namespace varnel::sim {

struct FleetSettings {
  int loggers = 0;                    // 0: a single logger, no fleet
  int callsEach = 1;                  // calls each logger makes
  std::int64_t windowMs = 0;          // the first calls fall within this time from the start
  std::int64_t callEveryMs = 60000;   // from the end of a call (or giving it up) to the next
  std::int64_t retryPauseMs = 30000;  // after finding the line busy
  int retries = 5;                    // dials after the first before a call is given up
};

// The fleet's logger with serial number `serial`: the shared setup with its own serial
// number, identity text and seed. The seed follows from the shared seed and the serial
// alone, so a logger's memory does not depend on how many loggers share the modem; it fits
// 53 bits, so that it reads back exactly from the truth file and --seed can rebuild it.
LoggerSetup FleetLoggerSetup(const LoggerSetup& shared, std::uint32_t serial);

// Several loggers behind one modem, each calling on its own schedule, as on an operator's
// morning. The schedule starts when the modem could first take a call (the host has set it
// up and the quiet time has passed): each logger's first call is due at an offset within
// the window that follows from the seed and its serial. A logger that dials while the
// modem is busy (online, ringing, or within its quiet time after the host typed or after
// the last call) finds the line busy and dials again after the retry pause, at most
// `retries` times; then it gives that call up. Loggers due at the same time dial in the
// order of their due time, then of their serial number.
class Fleet {
 public:
  struct Counts {
    int attempted = 0;  // calls begun: their first dial
    int answered = 0;   // calls the modem connected
    int busy = 0;       // dials that found the line busy
    int retried = 0;    // dials after a busy line
    int givenUp = 0;    // calls whose last retry found the line busy too
  };
  struct CallTruth {
    int call = 0;                // the logger's own call number
    int modemCall = 0;           // the modem's call number: the order calls came in
    std::int64_t connectedMs = 0;
    std::int64_t endedMs = -1;
    std::string records;         // the logger's records when it answered, as truth JSON
  };
  struct Member {
    std::uint32_t serial = 0;
    std::uint64_t seed = 0;
    std::int64_t firstCallMs = 0;  // offset of the first call from the start
    std::unique_ptr<Logger> logger;
    Counts counts;
    std::vector<CallTruth> calls;
    // The schedule.
    std::int64_t dueMs = -1;       // the next dial, -1 for none
    int callsLeft = 0;
    int failedDials = 0;           // of the call being tried
  };

  Fleet(const FleetSettings& settings, const LoggerSetup& shared);
  // "" when every logger's memory could be built, else why not.
  const std::string& error() const { return error_; }

  // Dials for the loggers whose call is due. A call that rings or connects shows in `out`;
  // lines for the console (busy lines, calls given up) are added to `notes`.
  void Tick(std::int64_t nowMs, Modem& modem, Modem::Output& out,
            std::vector<std::string>& notes);
  // The modem has connected the call Tick dialled: returns the logger on the line, whose
  // records are noted for the truth file as they are now.
  Logger& Connected(std::int64_t nowMs, int modemCall);
  // The call on the line has ended; its logger's next call is scheduled.
  void Ended(std::int64_t nowMs);
  // When Tick next has something to do, or -1.
  std::int64_t NextDeadline(const Modem& modem) const;
  // Every logger has made or given up all its calls and none is on the line.
  bool Done() const;

  const std::vector<Member>& members() const { return members_; }
  Logger& first() { return *members_.front().logger; }
  // The logger whose call rings or is on the line, or nullptr.
  const Member* caller() const { return caller_ < 0 ? nullptr : &members_[caller_]; }
  std::int64_t startMs() const { return startMs_; }

 private:
  void CallFinished(Member& m, std::int64_t fromMs);

  FleetSettings settings_;
  std::vector<Member> members_;  // in serial order
  std::string error_;
  std::int64_t startMs_ = -1;
  int caller_ = -1;
};

}  // namespace varnel::sim
