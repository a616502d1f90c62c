#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/json_reader.h"

namespace varnel::testsupport {

// The truth file vtq-sim writes with --fleet: per logger its counts and, per call
// answered, the records it held then (each as the single-logger truth file lists them).
struct FleetCall {
  int call = 0;          // the logger's own call number
  int modemCall = 0;     // the order in which the modem connected the calls
  long long connectedMs = 0;
  long long endedMs = -1;
  Json records;          // newest first
};

struct FleetLogger {
  std::uint32_t serial = 0;
  std::string identityText;
  std::uint64_t seed = 0;      // --seed of a single vtq-sim with the same memory
  long long firstCallMs = 0;   // from the start of the schedule
  int attempted = 0, answered = 0, busy = 0, retried = 0, givenUp = 0;
  std::vector<FleetCall> calls;
};

struct FleetTruth {
  long long startMs = -1;  // when the schedule began, -1 before
  std::vector<FleetLogger> loggers;  // in serial order

  // nullptr when the fleet has no such logger.
  const FleetLogger* Find(std::uint32_t serial) const;
  // The serials of the calls answered, in the order the modem connected them.
  std::vector<std::uint32_t> AnsweredOrder() const;
};

// Throws std::runtime_error when `truth` is not the truth file of a fleet.
FleetTruth ReadFleetTruth(const Json& truth);

}  // namespace varnel::testsupport
