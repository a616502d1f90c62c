#pragma once
// What a fleet's truth file says about the line: how many calls, how long the line was
// held, and the least time the fleet's own rules allowed between the calls.
#include <string>

#include "tests/support/fleet_truth.h"

namespace varnel::bench {

// The fleet options the simulator ran with that shape the schedule.
struct FleetRules {
  double callAfterS = 3;    // quiet time before the modem takes a call
  double retryPauseS = 30;  // a busy logger dials again this much later
  int rings = 0;
  double ringPauseS = 1;
};

struct LineFigures {
  int loggers = 0, collectedOnLine = 0;  // loggers, loggers with an answered call
  int attempted = 0, answered = 0, busy = 0, retried = 0, givenUp = 0;
  // Busy dials at a moment when no call held the modem (ringing, online or its quiet time
  // after a call): the modem was busy because the collector had just typed to it.
  int busyWithoutCall = 0;
  double lineS = 0;     // sum of connect-to-end over the answered calls
  double pausesS = 0;   // least time between them that the rules prescribe
  double spanS = 0;     // from the start of the schedule to the end of the last call
  double longestCallS = 0;
  bool complete = true;  // every answered call has ended
};

// One logger's one call a day: a later call of a logger has no dial time in the truth file,
// so the pauses are reckoned for the first call of each logger only (the benchmark makes
// one call per logger).
LineFigures ReadLine(const testsupport::FleetTruth& truth, const FleetRules& rules);

}  // namespace varnel::bench
