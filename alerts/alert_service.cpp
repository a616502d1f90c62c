#include "alerts/alert_service.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStorageInfo>

#include <cmath>
#include <cstdio>

#include "common/locations.h"
#include "database/contact_store.h"
#include "files/native_path.h"
#include "history/history_summary.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

constexpr HistoryWarning kAllWarnings[] = {
    HistoryWarning::BatteryLow,     HistoryWarning::BatteryFalling, HistoryWarning::ClockOff,
    HistoryWarning::ClockDrift,     HistoryWarning::RingNearlyFull, HistoryWarning::Overdue,
    HistoryWarning::RepeatedPartial};

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// The figures behind a warning, as the history views show them.
std::string Figures(HistoryWarning w, const LoggerSummary& s) {
  switch (w) {
    case HistoryWarning::BatteryLow:
      return s.Battery ? "battery " + std::to_string(*s.Battery) + " %" : "";
    case HistoryWarning::BatteryFalling:
      return s.BatteryPerDay ? "battery " + Fixed(*s.BatteryPerDay, 2) + " % per day" : "";
    case HistoryWarning::ClockOff:
      return s.ClockOffset ? "clock off by " + std::to_string(*s.ClockOffset) + " s" : "";
    case HistoryWarning::ClockDrift:
      return s.DriftPerDay ? "clock drifts " + Fixed(*s.DriftPerDay, 1) + " s per day" : "";
    case HistoryWarning::RingNearlyFull:
      return s.RingUse ? "ring " + Fixed(*s.RingUse * 100.0, 0) + " % full" : "";
    case HistoryWarning::Overdue:
      return "last contact " + Fixed(s.DaysSince, 1) + " days ago" +
             (s.UsualInterval ? ", usually every " + Fixed(*s.UsualInterval, 1) + " days" : "");
    case HistoryWarning::RepeatedPartial:
      return "last result partial";
  }
  return {};
}

// A call that brought nothing (or nothing safe): the logger's own alert.
bool Failed(ContactResult r) {
  return r == ContactResult::NoCommunication || r == ContactResult::Dropped ||
         r == ContactResult::DeviceChanged || r == ContactResult::FilesNotWritten ||
         r == ContactResult::FallbackFolder;
}

std::string GB(double bytes) { return Fixed(bytes / 1e9, 1) + " GB"; }

}  // namespace

QString DefaultAlertMailKeepPath() {
  return QDir(UserDataFolder()).filePath(QStringLiteral("alerts-mail.json"));
}

AlertService::AlertService(AlertChannels& channels, QString bookPath, ContactStore* history,
                           HistoryThresholds limits, std::function<std::string(int)> text,
                           std::map<std::uint32_t, LoggerLimits> pressure)
    : channels_(channels),
      book_(bookPath),
      history_(history),
      limits_(limits),
      text_(std::move(text)),
      digestDayPath_(bookPath + QStringLiteral(".digest")),
      pressure_(std::move(pressure)) {}

void AlertService::Set(Alert alert, bool active) {
  if (active) {
    if (book_.Raise(alert)) channels_.Send(alert, false);
  } else if (const auto closed = book_.Clear(alert.Key)) {
    channels_.Send(*closed, true);
  }
}

std::string AlertService::ContactEnded(const ContactFigures& c) {
  const std::int64_t now = c.Time + static_cast<std::int64_t>(std::lround(c.Duration));
  if (c.SerialNumber != 0 && c.Result != ContactResult::Stopped) {
    Alert call;
    call.Key = std::to_string(c.SerialNumber) + "/call";
    call.Serial = c.SerialNumber;
    call.Identity = c.IdentityText;
    // A call dropped before the identity was read is named as the history knows the logger.
    if (call.Identity.empty() && Failed(c.Result) && history_) {
      std::string why;
      const auto known = SummarizeStoredHistory(*history_, c.SerialNumber, now, limits_, &why);
      if (!known.empty()) call.Identity = known.front().IdentityText;
    }
    call.What = text_(ContactResultTextId(c.Result));
    call.Since = c.Time;
    call.Details = c.Files.empty() ? "" : "files: " + std::to_string(c.Files.size());
    Set(call, Failed(c.Result));
    CheckLoggers(c.SerialNumber, now);
    if (!c.Files.empty()) CheckPressure(c);
  }
  // The data folder: told as the collector's own trouble, cleared by a call whose files went
  // where they belong.
  Alert fallback;
  fallback.Key = "collector/fallback folder";
  fallback.What = text_(kTextAlertFallback);
  fallback.Since = c.Time;
  if (c.Result == ContactResult::FallbackFolder) {
    Set(fallback, true);
  } else if (c.Result == ContactResult::Complete || c.Result == ContactResult::Partial) {
    Set(fallback, false);
  }
  return book_.LastError();
}

void AlertService::CheckPressure(const ContactFigures& c) {
  // Found in the contact's files: the first breach of each channel and side, with the
  // extreme over all of them. A logger without limits clears what an earlier limit raised.
  std::map<std::string, LimitBreach> found;
  const auto limits = pressure_.find(c.SerialNumber);
  if (limits != pressure_.end()) {
    for (const std::string& path : c.Files) {
      IdcFile file;
      try {
        file = ReadIdcFile(PathFromUtf8(path));
      } catch (const std::exception&) {
        continue;  // a file that cannot be read says so in the log of its own writing
      }
      for (const LimitBreach& b : CheckPressureLimits(file, limits->second)) {
        const std::string key = "P" + std::to_string(b.Channel + 1) + (b.Below ? " low" : " high");
        const auto it = found.find(key);
        if (it == found.end()) {
          found.emplace(key, b);
        } else if (b.Below ? b.Extreme < it->second.Extreme : b.Extreme > it->second.Extreme) {
          it->second.Extreme = b.Extreme;
          it->second.ExtremeTime = b.ExtremeTime;
        }
      }
    }
  }
  for (const char* channel : {"P1", "P2"}) {
    for (const bool below : {true, false}) {
      const std::string key = std::string(channel) + (below ? " low" : " high");
      Alert a;
      a.Key = std::to_string(c.SerialNumber) + "/" + key;
      a.Serial = c.SerialNumber;
      a.Identity = c.IdentityText;
      a.What = std::string(channel) + ": " + text_(below ? kTextPressureBelow : kTextPressureAbove);
      a.Since = c.Time;
      const auto it = found.find(key);
      if (it != found.end()) a.Details = LimitBreachText(it->second);
      Set(a, it != found.end());
    }
  }
}

void AlertService::CheckLoggers(std::optional<std::uint32_t> serial, std::int64_t now) {
  if (!history_) return;
  std::string why;
  for (const LoggerSummary& s : SummarizeStoredHistory(*history_, serial, now, limits_, &why)) {
    for (HistoryWarning w : kAllWarnings) {
      Alert a;
      a.Key = std::to_string(s.SerialNumber) + "/" + HistoryWarningName(w);
      a.Serial = s.SerialNumber;
      a.Identity = s.IdentityText;
      a.What = text_(HistoryWarningTextId(w));
      a.Details = Figures(w, s);
      a.Since = w == HistoryWarning::Overdue ? s.LastContact : now;
      bool active = false;
      for (HistoryWarning on : s.Warnings) active = active || on == w;
      Set(a, active);
    }
  }
}

void AlertService::Check(std::int64_t now, const CollectorHealth& health) {
  const auto longer = [now](const std::optional<std::int64_t>& since, std::int64_t seconds) {
    return since && now - *since >= seconds;
  };
  Alert modem;
  modem.Key = "collector/modem gone";
  modem.What = text_(kTextAlertModemGone);
  modem.Since = health.ModemGoneSince.value_or(now);
  Set(modem, longer(health.ModemGoneSince, kModemAlertSeconds));

  Alert setup;
  setup.Key = "collector/modem set-up";
  setup.What = text_(kTextAlertSetupFailing);
  setup.Since = health.SetupFailingSince.value_or(now);
  Set(setup, longer(health.SetupFailingSince, kModemAlertSeconds));

  Alert database;
  database.Key = "collector/database";
  database.What = text_(kTextAlertDatabase);
  database.Since = health.DatabaseDownSince.value_or(now);
  Set(database, longer(health.DatabaseDownSince, kDatabaseAlertSeconds));

  if (!health.DataFolder.empty()) {
    const QStorageInfo disk(QString::fromStdString(health.DataFolder));
    if (disk.isValid() && disk.isReady() && disk.bytesTotal() > 0) {
      const double free = static_cast<double>(disk.bytesAvailable());
      const double total = static_cast<double>(disk.bytesTotal());
      Alert full;
      full.Key = "collector/disk";
      full.What = text_(kTextAlertDiskFull);
      full.Since = now;
      full.Details = health.DataFolder + ": " + GB(free) + " free of " + GB(total);
      Set(full, free < kDiskFreeBytes || free < kDiskFreeShare * total);
    }
  }

  if (now - lastOverdueCheck_ >= kOverdueCheckSeconds) {
    lastOverdueCheck_ = now;
    CheckLoggers(std::nullopt, now);
  }
  SendDigestOfTheDay(now);
}

void AlertService::SendDigestOfTheDay(std::int64_t now) {
  const int hour = channels_.Settings().DigestHour;
  if (hour < 0 || hour > 23 || !channels_.Settings().MailSet()) return;
  const QDateTime local = QDateTime::fromSecsSinceEpoch(now);
  if (local.time().hour() < hour) return;
  const QByteArray day = local.date().toString(Qt::ISODate).toLatin1();
  QFile last(digestDayPath_);
  if (last.open(QIODevice::ReadOnly) && last.readAll().trimmed() == day) return;
  last.close();

  std::vector<Alert> open;
  for (const auto& [key, alert] : book_.Open()) open.push_back(alert);
  std::vector<Alert> silent;
  if (history_) {
    std::string why;
    for (const LoggerSummary& s : SummarizeStoredHistory(*history_, std::nullopt, now, limits_, &why)) {
      if (s.DaysSince < 1.0) continue;
      Alert a;
      a.Serial = s.SerialNumber;
      a.Identity = s.IdentityText;
      a.Since = s.LastContact;
      a.Details = Fixed(s.DaysSince, 1) + " d";
      silent.push_back(a);
    }
  }
  if (!channels_.SendDigest(open, silent, now)) return;
  // A day that cannot be kept costs at most a second digest after a restart.
  QSaveFile f(digestDayPath_);
  if (f.open(QIODevice::WriteOnly)) {
    f.write(day + '\n');
    f.commit();
  }
}

}  // namespace varnel
