#include "database/measurement_store.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QUuid>
#include <QVariant>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "database/sql_connection.h"
#include "files/file_error.h"
#include "files/code_page_text.h"
#include "files/idc_reader.h"

namespace varnel {

namespace {

constexpr const char* kCreateSQLite[] = {
    R"(CREATE TABLE IF NOT EXISTS records (
  serial        INTEGER NOT NULL,
  record_start  TEXT NOT NULL,     -- the logger's local time
  identity_text TEXT NOT NULL,
  channel_mask  INTEGER NOT NULL,
  units         TEXT NOT NULL,     -- "k=unit" per channel, comma-separated
  file_name     TEXT NOT NULL,
  entries       INTEGER NOT NULL,
  utc_offset    INTEGER,           -- the collector's seconds east of UTC at the readout
  PRIMARY KEY (serial, file_name)))",
    R"(CREATE TABLE IF NOT EXISTS measurements (
  serial       INTEGER NOT NULL,
  record_start TEXT NOT NULL,
  time         TEXT NOT NULL,      -- the logger's local time
  kind         INTEGER NOT NULL,   -- 0..14 channel, 15 event, 16 time marker
  seq          INTEGER NOT NULL,   -- place among the record's entries of this time and kind
  value        REAL,               -- NULL for a value that is not a number
  extra        INTEGER NOT NULL,
  PRIMARY KEY (serial, record_start, time, kind, seq)) WITHOUT ROWID)",
    R"(CREATE TABLE IF NOT EXISTS record_units (
  serial    INTEGER NOT NULL,
  file_name TEXT NOT NULL,
  channel   INTEGER NOT NULL,      -- 0..14, the kind of its measurements
  unit      TEXT NOT NULL,
  PRIMARY KEY (serial, file_name, channel)) WITHOUT ROWID)",
    // One logger, one channel, a span of time.
    "CREATE INDEX IF NOT EXISTS measurements_span ON measurements (serial, kind, time)",
    // The logger's times placed in time: its clock runs on the local time of the PC that set
    // it, taken here as the collector's offset at the readout.
    R"(CREATE VIEW IF NOT EXISTS measurements_utc AS
SELECT m.serial, m.record_start, m.time,
       CASE WHEN o.utc_offset IS NOT NULL THEN
         strftime('%Y-%m-%d %H:%M:%f', m.time, printf('%+d seconds', -o.utc_offset)) END
         AS time_utc,
       m.kind, m.seq, m.value, m.extra
FROM measurements m LEFT JOIN
     (SELECT serial, record_start, MAX(utc_offset) AS utc_offset FROM records
      GROUP BY serial, record_start) o
     ON o.serial = m.serial AND o.record_start = m.record_start)",
};

constexpr const char* kCreatePostgreSQL[] = {
    R"(CREATE TABLE IF NOT EXISTS records (
  serial        BIGINT NOT NULL,
  record_start  TIMESTAMP NOT NULL,
  identity_text TEXT NOT NULL,
  channel_mask  INTEGER NOT NULL,
  units         TEXT NOT NULL,
  file_name     TEXT NOT NULL,
  entries       INTEGER NOT NULL,
  utc_offset    INTEGER,
  PRIMARY KEY (serial, file_name)))",
    R"(CREATE TABLE IF NOT EXISTS measurements (
  serial       BIGINT NOT NULL,
  record_start TIMESTAMP NOT NULL,
  time         TIMESTAMP NOT NULL,
  kind         SMALLINT NOT NULL,
  seq          INTEGER NOT NULL,
  value        DOUBLE PRECISION,
  extra        BIGINT NOT NULL,
  PRIMARY KEY (serial, record_start, time, kind, seq)))",
    "ALTER TABLE records ADD COLUMN IF NOT EXISTS utc_offset INTEGER",
    R"(CREATE TABLE IF NOT EXISTS record_units (
  serial    BIGINT NOT NULL,
  file_name TEXT NOT NULL,
  channel   SMALLINT NOT NULL,
  unit      TEXT NOT NULL,
  PRIMARY KEY (serial, file_name, channel)))",
    R"(CREATE OR REPLACE VIEW measurements_utc AS
SELECT m.serial, m.record_start, m.time,
       (m.time - make_interval(secs => o.utc_offset)) AT TIME ZONE 'UTC' AS time_utc,
       m.kind, m.seq, m.value, m.extra
FROM measurements m LEFT JOIN
     (SELECT serial, record_start, MAX(utc_offset) AS utc_offset FROM records
      GROUP BY serial, record_start) o
     ON o.serial = m.serial AND o.record_start = m.record_start)",
};

// Rows per INSERT: SQLite takes at most 999 bound values per statement in older builds;
// PostgreSQL up to 65535.
int BatchRows(DatabaseEngine e) { return e == DatabaseEngine::SQLite ? 128 : 1000; }
constexpr int kColumns = 7;

QString InsertText(int rows) {
  QString sql = QStringLiteral(
      "INSERT INTO measurements (serial, record_start, time, kind, seq, value, extra) VALUES ");
  sql.reserve(sql.size() + rows * 18);
  for (int i = 0; i < rows; ++i) {
    if (i) sql += QLatin1Char(',');
    sql += QLatin1String("(?,?,?,?,?,?,?)");
  }
  return sql + QStringLiteral(" ON CONFLICT DO NOTHING");
}

// A text to bind: never NULL, also when empty (an empty QString binds as NULL).
QString NotNull(const std::string& text) {
  const QString s = QString::fromStdString(text);
  return s.isNull() ? QStringLiteral("") : s;
}

QString TimeText(std::int64_t msecs) {
  const QDateTime t = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
  return t.toString(msecs % 1000 == 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                      : QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// Days since 1899-12-30 in milliseconds since 1970-01-01, both in the logger's local time.
std::int64_t EntryMsecs(double dateTime) {
  return std::llround((dateTime - 25569.0) * 86400000.0);
}

std::string Units(const IdcFile& f) {
  std::string units;
  for (const IdcChannel& c : f.Channels) {
    if (!units.empty()) units += ',';
    units += std::to_string(c.Number) + '=' + CodePageToUtf8(c.Unit);
  }
  return units;
}

// Where the file's first entries of each kind take their places among the stored entries of
// the same time and kind. A piece of a record that begins where an earlier one ended may
// begin inside such a run (two events in one second): its entries follow the stored ones
// instead of taking their places and being dropped as already there. The run lines up at
// the first place where what is stored agrees with what the file has.
std::string FirstRunPlaces(QSqlQuery& q, const IdcFile& f, const QVariant& serial,
                           const QString& recordStart, std::map<std::uint8_t, int>* places) {
  if (f.Measurements.empty()) return {};
  const std::int64_t first = EntryMsecs(f.Measurements.front().DateTime);
  std::map<std::uint8_t, std::vector<const IdcEntry*>> runs;
  for (const IdcEntry& e : f.Measurements) {
    if (EntryMsecs(e.DateTime) == first) runs[e.Kind].push_back(&e);
  }
  for (const auto& [kind, run] : runs) {
    q.prepare(QStringLiteral("SELECT value, extra FROM measurements WHERE serial = ? AND "
                             "record_start = ? AND time = ? AND kind = ? ORDER BY seq"));
    q.addBindValue(serial);
    q.addBindValue(recordStart);
    q.addBindValue(TimeText(first));
    q.addBindValue(static_cast<int>(kind));
    if (!q.exec()) return SqlWhy(q.lastError());
    std::vector<std::pair<QVariant, qint64>> stored;
    while (q.next()) stored.emplace_back(q.value(0), q.value(1).toLongLong());
    q.finish();
    const auto same = [](const std::pair<QVariant, qint64>& s, const IdcEntry& e) {
      if (s.second != static_cast<qint64>(e.Extra)) return false;
      return std::isnan(e.Value) ? s.first.isNull()
                                 : !s.first.isNull() && s.first.toDouble() == double{e.Value};
    };
    std::size_t at = 0;
    for (; at < stored.size(); ++at) {
      bool agrees = true;
      for (std::size_t i = 0; agrees && i < run.size() && at + i < stored.size(); ++i) {
        agrees = same(stored[at + i], *run[i]);
      }
      if (agrees) break;
    }
    (*places)[kind] = static_cast<int>(at);
  }
  return {};
}

}  // namespace

QString EntryTimeText(double dateTime) { return TimeText(EntryMsecs(dateTime)); }

QString DeviceTimeText2000(std::uint32_t seconds) {
  // 2000-01-01 00:00:00 is 946684800 s after 1970-01-01.
  return TimeText((946684800LL + seconds) * 1000);
}

MeasurementStore::MeasurementStore(DatabaseTarget target)
    : target_(std::move(target)),
      connection_(QStringLiteral("varnel-measurements-") + QUuid::createUuid().toString()) {}

MeasurementStore::~MeasurementStore() { Close(); }

void MeasurementStore::Close() {
  CloseSqlConnection(connection_);
  open_ = false;
}

std::string MeasurementStore::Open() {
  Close();
  if (std::string error = OpenSqlConnection(connection_, target_); !error.empty()) return error;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  const bool sqlite = Engine() == DatabaseEngine::SQLite;
  const std::string error = WriteTransaction(db, Engine(), [&](QSqlQuery& q) -> std::string {
    if (!LockSchema(q, Engine())) return SqlWhy(q.lastError());
    // Tables made by an earlier version lack the offset; SQLite knows no ADD COLUMN IF NOT
    // EXISTS. Before the view, which names it.
    if (sqlite && q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'records'")) &&
        q.next()) {
      bool has = false;
      q.finish();
      if (!q.exec(QStringLiteral("PRAGMA table_info(records)"))) return SqlWhy(q.lastError());
      while (q.next()) has = has || q.value(1).toString() == QLatin1String("utc_offset");
      q.finish();
      if (!has && !q.exec(QStringLiteral("ALTER TABLE records ADD COLUMN utc_offset INTEGER"))) {
        return SqlWhy(q.lastError());
      }
    }
    q.finish();
    for (const char* sql : sqlite ? kCreateSQLite : kCreatePostgreSQL) {
      if (!q.exec(QString::fromLatin1(sql))) return SqlWhy(q.lastError());
    }
    return {};
  });
  if (error.empty() && !sqlite) AddSpanIndex(db);
  if (!error.empty()) {
    db = QSqlDatabase();  // the connection is removed next: no handle may outlive it
    Close();
    return "cannot set up " + target_.Display().toStdString() + ": " + error;
  }
  open_ = true;
  return {};
}

void MeasurementStore::AddSpanIndex(QSqlDatabase& db) {
  // Built beside the writers of other collectors (a big table takes a while), and without the
  // session's statement time-out, which would leave it half made. A build that broke off
  // left an invalid index: it goes and is made again. It only speeds queries up, so a failure
  // is left for the next start.
  QSqlQuery q(db);
  bool valid = false, there = false;
  if (q.exec(QStringLiteral(
          "SELECT i.indisvalid FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
          "WHERE c.relname = 'measurements_span' AND pg_table_is_visible(c.oid)")) &&
      q.next()) {
    there = true;
    valid = q.value(0).toBool();
  }
  q.finish();
  if (valid) return;
  if (there) q.exec(QStringLiteral("DROP INDEX CONCURRENTLY IF EXISTS measurements_span"));
  q.exec(QStringLiteral("SET statement_timeout = 0"));
  q.exec(QStringLiteral(
      "CREATE INDEX CONCURRENTLY IF NOT EXISTS measurements_span ON measurements (serial, kind, time)"));
  q.exec(QStringLiteral("RESET statement_timeout"));
}

std::string MeasurementStore::AddFile(const QString& path, FileExport* result, bool* readError) {
  if (readError) *readError = false;
  IdcFile file;
  try {
    file = ReadIdcFile(std::filesystem::path(path.toStdWString()));
  } catch (const std::exception& e) {
    if (readError) *readError = true;
    return path.toStdString() + ": " + e.what();
  }
  // Written at the readout: its time's offset is the collector's then.
  const QDateTime written = QFileInfo(path).lastModified();
  const std::optional<int> offset =
      written.isValid() ? std::optional<int>(written.offsetFromUtc()) : std::nullopt;
  return AddFile(file, QFileInfo(path).fileName(), result, offset);
}

std::string MeasurementStore::AddFile(const IdcFile& f, const QString& fileName,
                                      FileExport* result, std::optional<int> utcOffset) {
  FileExport out;
  out.Entries = static_cast<std::int64_t>(f.Measurements.size());
  if (!open_) {
    if (std::string error = Open(); !error.empty()) return error;
  }
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  const QVariant serial = QVariant::fromValue<qint64>(f.SerialNumber);
  const QString recordStart = DeviceTimeText2000(f.StartTime);

  const std::string error = WriteTransaction(db, Engine(), [&](QSqlQuery& q) -> std::string {
    out.Added = 0;
    out.AlreadyThere = false;
    // A file taken whole before (same name, same count) needs no second look at its rows.
    q.prepare(QStringLiteral("SELECT entries FROM records WHERE serial = ? AND file_name = ?"));
    q.addBindValue(serial);
    q.addBindValue(fileName);
    if (!q.exec()) return SqlWhy(q.lastError());
    if (q.next() && q.value(0).toLongLong() == out.Entries) {
      out.AlreadyThere = true;
      return {};
    }
    q.finish();

    std::map<std::uint8_t, int> firstPlaces;  // kind -> place of the file's first run
    if (std::string why = FirstRunPlaces(q, f, serial, recordStart, &firstPlaces); !why.empty()) {
      return why;
    }
    const std::int64_t firstTime =
        f.Measurements.empty() ? 0 : EntryMsecs(f.Measurements.front().DateTime);

    const int batch = BatchRows(Engine());
    QSqlQuery full(db), rest(db);
    if (!full.prepare(InsertText(batch))) return SqlWhy(full.lastError());
    std::map<std::pair<std::int64_t, std::uint8_t>, int> seen;  // (time, kind) -> count
    const std::size_t n = f.Measurements.size();
    for (std::size_t start = 0; start < n; start += static_cast<std::size_t>(batch)) {
      const int rows = static_cast<int>(std::min<std::size_t>(batch, n - start));
      QSqlQuery& ins = rows == batch ? full : rest;
      if (rows != batch && !ins.prepare(InsertText(rows))) return SqlWhy(ins.lastError());
      for (int i = 0; i < rows; ++i) {
        const IdcEntry& e = f.Measurements[start + static_cast<std::size_t>(i)];
        const std::int64_t ms = EntryMsecs(e.DateTime);
        const int seq = seen[{ms, e.Kind}]++ + (ms == firstTime ? firstPlaces[e.Kind] : 0);
        ins.addBindValue(serial);
        ins.addBindValue(recordStart);
        ins.addBindValue(TimeText(ms));
        ins.addBindValue(static_cast<int>(e.Kind));
        ins.addBindValue(seq);
        ins.addBindValue(std::isnan(e.Value) ? QVariant(QMetaType(QMetaType::Double))
                                             : QVariant(static_cast<double>(e.Value)));
        ins.addBindValue(QVariant::fromValue<qint64>(e.Extra));
      }
      if (!ins.exec()) return SqlWhy(ins.lastError());
      out.Added += std::max(0, ins.numRowsAffected());
    }
    q.prepare(QStringLiteral(
        "INSERT INTO records (serial, record_start, identity_text, channel_mask, units, "
        "file_name, entries, utc_offset) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (serial, file_name) DO UPDATE SET entries = excluded.entries, "
        "utc_offset = COALESCE(excluded.utc_offset, records.utc_offset)"));
    q.addBindValue(serial);
    q.addBindValue(recordStart);
    q.addBindValue(NotNull(CodePageToUtf8(f.IdentityText)));
    q.addBindValue(static_cast<int>(f.ChannelMask));
    q.addBindValue(NotNull(Units(f)));
    q.addBindValue(fileName);
    q.addBindValue(QVariant::fromValue<qint64>(out.Entries));
    q.addBindValue(utcOffset ? QVariant(*utcOffset) : QVariant(QMetaType(QMetaType::Int)));
    if (!q.exec()) return SqlWhy(q.lastError());
    q.prepare(QStringLiteral("INSERT INTO record_units (serial, file_name, channel, unit) "
                             "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
    for (const IdcChannel& c : f.Channels) {
      q.addBindValue(serial);
      q.addBindValue(fileName);
      q.addBindValue(static_cast<int>(c.Number));
      q.addBindValue(NotNull(CodePageToUtf8(c.Unit)));
      if (!q.exec()) return SqlWhy(q.lastError());
    }
    return {};
  });
  if (!error.empty()) {
    db = QSqlDatabase();  // the connection is removed next: no handle may outlive it
    Close();
    return "cannot write to " + target_.Display().toStdString() + ": " + error;
  }
  if (result) *result = out;
  return {};
}

}  // namespace varnel
