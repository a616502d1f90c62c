#pragma once
#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>

// Dates, times and numbers as the operator's system writes them: the short date format, a
// blank and the long time format; numbers with the system's decimal separator.
namespace varnel {

QString DateTimeText(const QDate& date, const QTime& time);
// The current local date and time.
QString NowText();
// A device time (seconds since 2000-01-01 00:00:00, the logger's own wall clock): the short
// date and the long time format without a time zone, which a logger clock does not have.
QString DeviceTimeText(std::uint32_t seconds);
// The calendar date and the time of day of a device time.
QDate DeviceDate(std::uint32_t seconds);
QTime DeviceTime(std::uint32_t seconds);

// value rounded to `precision` significant digits and written in fixed notation with
// `digits` decimals and the system's decimal separator ("12.346" for 12.3456, 7, 3).
QString FixedText(double value, int precision, int digits);

// A number written with the system's decimal separator (or with a point). False for a text
// that is not a number.
bool ParseLocaleNumber(const QString& text, double& value);

}  // namespace varnel
