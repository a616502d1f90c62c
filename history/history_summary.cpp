#include "history/history_summary.h"

#include "database/contact_store.h"

namespace varnel {

std::vector<LoggerSummary> SummarizeStoredHistory(ContactStore& store,
                                                  std::optional<std::uint32_t> serial,
                                                  std::int64_t now,
                                                  const HistoryThresholds& limits,
                                                  std::string* error) {
  std::string why;
  std::vector<LoggerContacts> loggers = store.NewestContacts(kSummaryContacts, serial, &why);
  std::vector<LoggerSummary> out;
  if (!why.empty()) {
    if (error) *error = why;
    return out;
  }
  out.reserve(loggers.size());
  for (LoggerContacts& logger : loggers) {
    std::optional<LoggerSummary> line = SummarizeLatest(logger.Newest, logger.Total, now, limits);
    // A logger whose figures reach further back (one that never reports its battery, calls
    // minutes apart) is read again with ever more of its contacts, at worst all of them.
    for (int newest = kSummaryContacts * 8; !line; newest *= 8) {
      if (newest >= logger.Total) newest = logger.Total;
      std::vector<LoggerContacts> more = store.NewestContacts(newest, logger.Serial, &why);
      if (!why.empty() || more.empty()) {
        if (error) *error = why.empty() ? "the history changed while it was read" : why;
        return {};
      }
      line = SummarizeLatest(more.front().Newest, more.front().Total, now, limits);
      if (newest >= more.front().Total && !line) break;  // cannot happen: all rows were given
    }
    if (line) out.push_back(std::move(*line));
    logger.Newest = {};
  }
  return out;
}

}  // namespace varnel
