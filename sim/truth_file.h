#pragma once
#include <cstdint>
#include <string>

#include "sim/logger.h"

namespace varnel::sim {

// The truth file: what a correct reader finds in the logger and everything the logger was
// sent. Records are listed newest first, as the collector lists them; each with its first
// and last page, its start time (device seconds, as the header of its oldest remaining page
// gives it) and the entries decoding its pages gives, oldest first.
std::string TruthJson(const Logger& logger, std::uint64_t seed, std::int64_t nowMs);

}  // namespace varnel::sim
