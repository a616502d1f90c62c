#include "alerts/pressure_limits.h"

#include <QDate>
#include <QDateTime>

#include <cmath>
#include <cstdio>

#include "common/registry_store.h"
#include "common/settings.h"

namespace varnel {

namespace {

std::optional<double> Number(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// A file's time (days since 1899-12-30, the logger's own clock) as text.
std::string LoggerTime(double days) {
  const double whole = std::floor(days);
  const QDateTime t = QDateTime(QDate(1899, 12, 30).addDays(static_cast<qint64>(whole)), QTime(0, 0))
                          .addMSecs(std::llround((days - whole) * 86400000.0));
  return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string Figure(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

std::map<std::uint32_t, LoggerLimits> ReadPressureLimits() {
  std::map<std::uint32_t, LoggerLimits> all;
  const QString base = QString::fromLatin1(kSettingsKey) + QStringLiteral("Notify\\Limits");
  for (const QString& name : RegistryKey(base).SubKeyNames()) {
    bool ok = false;
    const std::uint32_t serial = name.toUInt(&ok);
    if (!ok || serial == 0) continue;
    const RegistryKey key(base + QLatin1Char('\\') + name);
    LoggerLimits l;
    for (int c = 0; c < 2; ++c) {
      const QString p = QStringLiteral("P%1").arg(c + 1);
      l.P[c].Low = Number(key.ReadString(p + QStringLiteral("Low")));
      l.P[c].High = Number(key.ReadString(p + QStringLiteral("High")));
    }
    all[serial] = l;
  }
  return all;
}

std::vector<LimitBreach> CheckPressureLimits(const IdcFile& file, const LoggerLimits& limits) {
  std::vector<LimitBreach> out;
  for (int c = 0; c < 2; ++c) {
    const IdcChannel* channel = nullptr;
    for (const IdcChannel& ch : file.Channels) {
      if (ch.Number == c) channel = &ch;
    }
    if (!channel) continue;
    for (const bool below : {true, false}) {
      const std::optional<double> limit = below ? limits.P[c].Low : limits.P[c].High;
      if (!limit) continue;
      std::optional<LimitBreach> b;
      for (const IdcEntry& e : file.Measurements) {
        if (e.Kind != c) continue;
        const double v = static_cast<double>(e.Value) * channel->Factor + channel->Offset;
        if (below ? v >= *limit : v <= *limit) continue;
        if (!b) {
          b = LimitBreach{c, below, *limit, channel->Unit, v, LoggerTime(e.DateTime), v,
                          LoggerTime(e.DateTime)};
        } else if (below ? v < b->Extreme : v > b->Extreme) {
          b->Extreme = v;
          b->ExtremeTime = LoggerTime(e.DateTime);
        }
      }
      if (b) out.push_back(*b);
    }
  }
  return out;
}

std::string LimitBreachText(const LimitBreach& b) {
  const std::string unit = b.Unit.empty() ? "" : " " + b.Unit;
  return "first " + Figure(b.First) + unit + " at " + b.FirstTime + ", " +
         (b.Below ? "lowest " : "highest ") + Figure(b.Extreme) + unit + " at " + b.ExtremeTime +
         " (limit " + Figure(b.Limit) + unit + ")";
}

}  // namespace varnel
