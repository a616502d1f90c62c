#include "history/history_settings.h"

#include <QSettings>
#include <algorithm>
#include <limits>

namespace varnel {

namespace {

void Read(const QSettings& s, const char* key, double& value) {
  bool ok = false;
  const double v = s.value(QLatin1String(key)).toDouble(&ok);
  if (ok && v >= 0) value = v;
}

}  // namespace

HistoryThresholds ReadHistoryThresholds() {
  HistoryThresholds t;
  QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnel"),
              QStringLiteral("History"));
  s.beginGroup(QStringLiteral("Thresholds"));
  Read(s, "BatteryLowPercent", t.BatteryLowPercent);
  Read(s, "BatteryFallPerDay", t.BatteryFallPerDay);
  Read(s, "ClockOffsetSeconds", t.ClockOffsetSeconds);
  Read(s, "ClockDriftPerDay", t.ClockDriftPerDay);
  Read(s, "RingUsePercent", t.RingUsePercent);
  Read(s, "OverdueFactor", t.OverdueFactor);
  double repeat = t.PartialRepeat;
  Read(s, "PartialRepeat", repeat);
  // "inf" or 1e12 mean "never": held to the largest count an int can take.
  t.PartialRepeat = static_cast<int>(std::min(repeat, double{std::numeric_limits<int>::max()}));
  return t;
}

}  // namespace varnel
