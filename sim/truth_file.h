#pragma once
#include <cstdint>
#include <string>

#include "sim/fleet.h"
#include "sim/logger.h"

namespace varnel::sim {

// The truth file: what a correct reader finds in the logger and everything the logger was
// sent. Records are listed newest first, as the collector lists them; each with its first
// and last page, its start time (device seconds, as the header of its oldest remaining page
// gives it) and the entries decoding its pages gives, oldest first.
std::string TruthJson(const Logger& logger, std::uint64_t seed, std::int64_t nowMs);

// The logger's records as the truth file lists them: a JSON array that stands on a line
// indented by `indent`.
std::string RecordsJson(const Logger& logger, const std::string& indent);

// The truth file of a fleet: for each logger its serial number, identity text and seed,
// the counts of its calls (attempted, answered, busy, retried, given up) and, for every
// call answered, the records it held when it answered, listed as TruthJson lists them.
std::string FleetTruthJson(const Fleet& fleet, std::uint64_t seed);

}  // namespace varnel::sim
