#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/contact_figures.h"

// One line per logger from its contact history: the latest figures, their trends and the
// warnings an operator wants flagged. Plain C++ on the rows; no database, no Qt.
namespace varnel {

// When a figure counts as a warning. Read from the settings (history_settings.h); these
// are the defaults.
struct HistoryThresholds {
  double BatteryLowPercent = 20.0;   // last battery below this
  double BatteryFallPerDay = 0.5;    // battery falling faster than this many % per day
  double ClockOffsetSeconds = 120.0; // device clock off the PC clock by more than this
  double ClockDriftPerDay = 2.0;     // device clock drifting more than this many s per day
  double RingUsePercent = 90.0;      // records fill more of the ring: old ones get overwritten
  double OverdueFactor = 2.0;        // no contact for this many times the usual interval
  int PartialRepeat = 2;             // this many partial readouts in a row
};

enum class HistoryWarning {
  BatteryLow,
  BatteryFalling,
  ClockOff,
  ClockDrift,
  RingNearlyFull,
  Overdue,
  RepeatedPartial,
};

// A short English name ("battery low", ...) for the console and the files it writes.
const char* HistoryWarningName(HistoryWarning w);
// The id of the same text in the string table, for the window.
int HistoryWarningTextId(HistoryWarning w);
// The id of a result's text ("complete", ...) in the string table.
int ContactResultTextId(ContactResult r);

struct LoggerSummary {
  std::uint32_t SerialNumber = 0;
  std::string IdentityText;  // of the latest contact that gave one
  int Contacts = 0;
  std::int64_t LastContact = 0;  // seconds since 1970 UTC
  double DaysSince = 0.0;
  std::optional<int> Battery;
  std::optional<double> BatteryPerDay;   // fitted over the latest contacts
  std::optional<std::int64_t> ClockOffset;
  std::optional<double> DriftPerDay;     // between the two latest clock readings a while apart
  std::optional<double> RingUse;         // 0..1
  std::optional<double> UsualInterval;   // days, the median gap between visits
  ContactResult LastResult = ContactResult::Dropped;
  std::vector<HistoryWarning> Warnings;
};

// Trends need readings at least this far apart (days); calls minutes apart say nothing.
inline constexpr double kMinTrendSpanDays = 0.5;
// Contacts closer together than this (days) count as one visit for the usual interval.
inline constexpr double kMinVisitGapDays = 1.0 / 24.0;

// How many of a logger's newest contacts the summary usually needs: five battery readings,
// ten gaps between visits and the clock readings before the latest. A logger whose figures
// reach further back (a battery never reported, calls minutes apart) needs more.
inline constexpr int kSummaryContacts = 16;

// Summarises one logger from its newest contacts (any order; at most `total`, the number
// of contacts it has in all). Empty when a figure needs contacts older than those given:
// the caller asks again with more.
std::optional<LoggerSummary> SummarizeLatest(const std::vector<ContactFigures>& newest,
                                             int total, std::int64_t now,
                                             const HistoryThresholds& limits);

// Summarises contacts (any order, any loggers) per serial number, ascending; `now` in
// seconds since 1970 UTC.
std::vector<LoggerSummary> SummarizeHistory(const std::vector<ContactFigures>& contacts,
                                            std::int64_t now, const HistoryThresholds& limits);

}  // namespace varnel
