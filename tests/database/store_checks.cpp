#include "store_checks.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>
#include <QUuid>

#include <algorithm>
#include <cmath>

#include "database/database_url.h"
#include "database/sql_connection.h"

namespace varnel::test {

std::vector<QVariantList> Rows(const QString& url, const QString& sql, std::string* error) {
  std::vector<QVariantList> rows;
  const auto target = ParseDatabaseUrl(url, error);
  if (!target) return rows;
  const QString name = QUuid::createUuid().toString();
  if (std::string e = OpenSqlConnection(name, *target); !e.empty()) {
    if (error) *error = e;
    return rows;
  }
  {
    QSqlQuery q(QSqlDatabase::database(name, false));
    if (!q.exec(sql)) {
      if (error) *error = q.lastError().text().toStdString();
    } else {
      while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i) row << q.value(i);
        rows.push_back(row);
      }
    }
  }
  CloseSqlConnection(name);
  return rows;
}

QVariant Value(const QString& url, const QString& sql) {
  const auto rows = Rows(url, sql, nullptr);
  return rows.empty() || rows[0].isEmpty() ? QVariant() : rows[0][0];
}

QString TimeOf(const QVariant& v) {
  if (v.typeId() == QMetaType::QDateTime) {
    return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  }
  return v.toString().left(19);
}

double FileDays(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(year, month, day))) +
         (hour * 3600 + minute * 60 + second) / 86400.0;
}

std::string CompareWithFile(const QString& url, const IdcFile& file) {
  std::string error;
  const auto rows =
      Rows(url,
           QStringLiteral("SELECT time, kind, value, extra FROM measurements WHERE serial = %1 "
                          "ORDER BY time, kind, seq")
               .arg(file.SerialNumber),
           &error);
  if (!error.empty()) return error;
  // The file's entries ordered the same way: by time and kind, file order within.
  std::vector<IdcEntry> entries = file.Measurements;
  std::stable_sort(entries.begin(), entries.end(), [](const IdcEntry& a, const IdcEntry& b) {
    const auto ta = std::llround(a.DateTime * 86400.0), tb = std::llround(b.DateTime * 86400.0);
    return ta != tb ? ta < tb : a.Kind < b.Kind;
  });
  if (rows.size() != entries.size()) {
    return std::to_string(rows.size()) + " rows for " + std::to_string(entries.size()) +
           " entries";
  }
  const QDateTime base(QDate(1899, 12, 30), QTime(0, 0), QTimeZone::utc());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const IdcEntry& e = entries[i];
    const QString time =
        base.addSecs(std::llround(e.DateTime * 86400.0)).toString("yyyy-MM-dd HH:mm:ss");
    const QVariantList& r = rows[i];
    const bool valueEqual = std::isnan(e.Value) ? r[2].isNull()
                                                : !r[2].isNull() && r[2].toDouble() == e.Value;
    if (TimeOf(r[0]) != time || r[1].toInt() != e.Kind || !valueEqual ||
        r[3].toLongLong() != e.Extra) {
      return "entry " + std::to_string(i) + ": file " + time.toStdString() + " kind " +
             std::to_string(e.Kind) + " value " + std::to_string(e.Value) + " extra " +
             std::to_string(e.Extra) + "; database " + TimeOf(r[0]).toStdString() + " kind " +
             r[1].toString().toStdString() + " value " + r[2].toString().toStdString() +
             " extra " + r[3].toString().toStdString();
    }
  }
  return {};
}

}  // namespace varnel::test
