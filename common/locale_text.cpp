#include "common/locale_text.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <cstdio>

namespace varnel {

QString DateTimeText(const QDate& date, const QTime& time) {
  // Date and time are written separately so that a device time falling into a daylight
  // saving gap of this computer's zone still gets its text.
  const QLocale locale = QLocale::system();
  return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(time, QLocale::LongFormat);
}

QString NowText() {
  const QDateTime now = QDateTime::currentDateTime();
  return DateTimeText(now.date(), now.time());
}

QDate DeviceDate(std::uint32_t seconds) { return QDate(2000, 1, 1).addDays(seconds / 86400); }

QTime DeviceTime(std::uint32_t seconds) {
  return QTime(0, 0).addSecs(static_cast<int>(seconds % 86400));
}

namespace {

// The system's long time format without its time-zone field. A logger clock has no zone,
// and the field would show the zone this computer is in today, not the one of the time.
QString LongTimeFormatWithoutZone(const QLocale& locale) {
  const QString format = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
    } else if (!quoted && c == QLatin1Char('t')) {
      continue;
    }
    out += c;
  }
  out.remove(QStringLiteral("()"));
  return out.simplified();
}

}  // namespace

QString DeviceTimeText(std::uint32_t seconds) {
  const QLocale locale = QLocale::system();
  return locale.toString(DeviceDate(seconds), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(DeviceTime(seconds), LongTimeFormatWithoutZone(locale));
}

QString FixedText(double value, int precision, int digits) {
  if (!std::isfinite(value)) value = 0.0;
  // Round to the significant digits first, then write the decimals.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", precision > 0 ? precision - 1 : 0, value);
  const double rounded = std::strtod(buf, nullptr);
  std::snprintf(buf, sizeof buf, "%.*f", digits, rounded);
  QString text = QString::fromLatin1(buf);
  if (text.startsWith(QLatin1Char('-')) && text.mid(1).count(QLatin1Char('0')) +
                                                   text.count(QLatin1Char('.')) ==
                                               text.size() - 1) {
    text.remove(0, 1);  // no "-0.000"
  }
  text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
  return text;
}

bool ParseLocaleNumber(const QString& text, double& value) {
  const QString t = text.trimmed();
  bool ok = false;
  double v = QLocale::system().toDouble(t, &ok);
  if (!ok) v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace varnel
