#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/contact_figures.h"
#include "history/logger_summary.h"

// The history as text for the console: an aligned table, CSV or JSON. Times are the PC's
// local time in ISO 8601.
namespace varnel {

enum class ReportFormat { Table, Csv, Json };

// The alerts open for each logger ("battery low", "call"), by serial number.
using LoggerAlerts = std::map<std::uint32_t, std::vector<std::string>>;

// One line per logger; its open alerts in the last column.
std::string LoggersReport(const std::vector<LoggerSummary>& loggers, ReportFormat format,
                          const LoggerAlerts& alerts = {});
// Every contact of one logger, oldest first, and its summary (table and JSON).
std::string ContactsReport(const std::vector<ContactFigures>& contacts,
                           const LoggerSummary& summary, ReportFormat format);

// Walks one logger's contacts from the oldest, a page at a time, handing each page to the
// visitor; false when the history could not be read to its end.
using ContactPageVisitor = std::function<void(const std::vector<ContactFigures>&)>;
using ContactWalk = std::function<bool(const ContactPageVisitor&)>;
// ContactsReport written piece by piece as the pages come, so a logger with years of
// contacts never has them all in memory; the table walks them twice (its column widths
// first). False when a walk failed (what was written so far stays written).
bool WriteContactsReport(const ContactWalk& walk, const LoggerSummary& summary,
                         ReportFormat format, const std::function<void(const std::string&)>& write,
                         const LoggerAlerts& alerts = {});

// "2026-12-09 04:15:00" in local time.
std::string LocalTimeText(std::int64_t secondsSince1970);

}  // namespace varnel
