#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/contact_figures.h"
#include "history/logger_summary.h"

// The history as text for the console: an aligned table, CSV or JSON. Times are the PC's
// local time in ISO 8601.
namespace varnel {

enum class ReportFormat { Table, Csv, Json };

// One line per logger.
std::string LoggersReport(const std::vector<LoggerSummary>& loggers, ReportFormat format);
// Every contact of one logger, oldest first, and its summary (table and JSON).
std::string ContactsReport(const std::vector<ContactFigures>& contacts,
                           const LoggerSummary& summary, ReportFormat format);

// "2026-12-09 04:15:00" in local time.
std::string LocalTimeText(std::int64_t secondsSince1970);

}  // namespace varnel
