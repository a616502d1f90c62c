#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "alerts/alert_book.h"
#include "alerts/alert_channels.h"
#include "alerts/pressure_limits.h"
#include "common/contact_figures.h"
#include "history/logger_summary.h"

// Decides what is wrong, after every contact and on a timer while the collector runs, and
// tells the channels once when a condition begins and once when it ends. Per logger: the
// history's warnings (same thresholds as its views) and a call that failed; per collector:
// the modem gone or its set-up failing for 10 minutes, the database unreachable for an hour,
// data files going to the fallback folder, a data disk nearly full.
namespace varnel {

class ContactStore;

// What the collector knows of itself at a check (times in seconds since 1970 UTC).
struct CollectorHealth {
  std::optional<std::int64_t> ModemGoneSince;
  std::optional<std::int64_t> SetupFailingSince;
  std::optional<std::int64_t> DatabaseDownSince;
  std::string DataFolder;
};

// How long a collector's trouble lasts before it is told.
inline constexpr std::int64_t kModemAlertSeconds = 600;
inline constexpr std::int64_t kDatabaseAlertSeconds = 3600;
// A data disk with less free than either of these is nearly full.
inline constexpr std::int64_t kDiskFreeBytes = 1'000'000'000;
inline constexpr double kDiskFreeShare = 0.05;
// The history is looked through for overdue loggers at most this often.
inline constexpr std::int64_t kOverdueCheckSeconds = 600;

class AlertService : public ContactService {
 public:
  // `history`: the contact history the views read (its newest contact is in it when this
  // service hears of the contact); `text` gives texts in the operator's language.
  // `pressure`: the pressure limits per logger, checked on each new file's entries.
  AlertService(AlertChannels& channels, QString bookPath, ContactStore* history,
               HistoryThresholds limits, std::function<std::string(int)> text,
               std::map<std::uint32_t, LoggerLimits> pressure = {});

  std::string ContactEnded(const ContactFigures& contact) override;
  // Every minute or so: the collector's own state, and now and then every logger's.
  void Check(std::int64_t now, const CollectorHealth& health);

  const AlertBook& Book() const { return book_; }

 private:
  void Set(Alert alert, bool active);
  void CheckLoggers(std::optional<std::uint32_t> serial, std::int64_t now);
  // The day's digest once the digest hour has come (late when the collector was not
  // running then); the day it went out is kept beside the book, so a restart sends no second.
  void SendDigestOfTheDay(std::int64_t now);
  void CheckPressure(const ContactFigures& contact);

  AlertChannels& channels_;
  AlertBook book_;
  ContactStore* history_;
  HistoryThresholds limits_;
  std::function<std::string(int)> text_;
  std::int64_t lastOverdueCheck_ = 0;
  QString digestDayPath_;
  std::map<std::uint32_t, LoggerLimits> pressure_;
};

// Where the collector keeps the alert mail not delivered when it last ended:
// alerts-mail.json beside the book.
QString DefaultAlertMailKeepPath();

}  // namespace varnel
