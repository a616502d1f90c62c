#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/logger_summary.h"

// The per-logger lines straight from the history file: the database counts the contacts
// and hands over only each logger's newest ones, so a history of years of daily calls from
// hundreds of loggers is summarised in a fraction of a second and a few megabytes.
namespace varnel {

class ContactStore;

// One line per logger (or for the one given), ascending by serial number; the same lines
// SummarizeHistory gives for all the contacts. Empty and *error set when the history
// cannot be read.
std::vector<LoggerSummary> SummarizeStoredHistory(ContactStore& store,
                                                  std::optional<std::uint32_t> serial,
                                                  std::int64_t now,
                                                  const HistoryThresholds& limits,
                                                  std::string* error);

}  // namespace varnel
