#include "database/contact_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <functional>

#include "database/sql_connection.h"

namespace varnel {

namespace {

constexpr const char* kCreate = R"(
CREATE TABLE IF NOT EXISTS contacts (
  id             INTEGER PRIMARY KEY,
  contact_time   INTEGER NOT NULL,  -- PC time, seconds since 1970 UTC
  serial         INTEGER NOT NULL,
  identity_text  TEXT NOT NULL,
  device_id      TEXT NOT NULL,
  firmware       TEXT NOT NULL,
  battery        INTEGER,           -- percent
  clock_offset   INTEGER,           -- device clock minus PC clock, seconds
  clock_set      INTEGER NOT NULL,  -- the clock was set to the PC's in this call
  last_page      INTEGER,
  reserved_pages INTEGER,
  ring_use       REAL,              -- 0..1
  state_bits     INTEGER NOT NULL,
  error_bits     INTEGER NOT NULL,
  records_listed INTEGER NOT NULL,
  records_read   INTEGER NOT NULL,
  pages_read     INTEGER NOT NULL,
  line_bytes     INTEGER NOT NULL,
  duration       REAL NOT NULL,     -- seconds
  result         TEXT NOT NULL,
  files          TEXT NOT NULL,     -- one path per line
  collector      TEXT,              -- the PC's host name
  port           INTEGER,           -- its COM port number
  file_names     TEXT               -- the files relative to the data folder, one per line
))";

// The same table on a PostgreSQL server, where several collectors add their contacts.
constexpr const char* kCreatePostgreSQL = R"(
CREATE TABLE IF NOT EXISTS contacts (
  id             BIGSERIAL PRIMARY KEY,
  contact_time   BIGINT NOT NULL,
  serial         BIGINT NOT NULL,
  identity_text  TEXT NOT NULL,
  device_id      TEXT NOT NULL,
  firmware       TEXT NOT NULL,
  battery        INTEGER,
  clock_offset   BIGINT,
  clock_set      INTEGER NOT NULL,
  last_page      INTEGER,
  reserved_pages INTEGER,
  ring_use       DOUBLE PRECISION,
  state_bits     INTEGER NOT NULL,
  error_bits     INTEGER NOT NULL,
  records_listed INTEGER NOT NULL,
  records_read   INTEGER NOT NULL,
  pages_read     INTEGER NOT NULL,
  line_bytes     BIGINT NOT NULL,
  duration       DOUBLE PRECISION NOT NULL,
  result         TEXT NOT NULL,
  files          TEXT NOT NULL,
  collector      TEXT,
  port           INTEGER,
  file_names     TEXT
))";

// Columns that tables of earlier versions lack, added where missing. Older programs go on
// writing into the table (their rows leave them empty), so the layout version stays.
constexpr const char* kLaterColumns[][2] = {
    {"collector", "TEXT"}, {"port", "INTEGER"}, {"file_names", "TEXT"}};

std::string Why(const QSqlError& e) { return SqlWhy(e); }

// How long one statement waits for another program's write to end, and how often a write
// that still found the file busy is tried again: a collector's main thread never waits
// longer than about this many times that.
constexpr int kBusyTimeoutMs = 2000;
constexpr int kWriteAttempts = 4;

// Another connection holds the lock (SQLITE_BUSY, SQLITE_LOCKED).
bool Busy(const QSqlError& e) {
  const QString code = e.nativeErrorCode();
  return code == QLatin1String("5") || code == QLatin1String("6") ||
         e.text().contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

// Runs `body` in a transaction that takes the write lock at its start (BEGIN IMMEDIATE),
// so two writers queue up at the BEGIN under the busy timeout instead of one of them
// failing when it turns from reading to writing. A write that still finds the file busy
// is tried again a few times. Empty on success, else the error.
QSqlError WriteTransaction(QSqlDatabase& db, const std::function<bool(QSqlQuery&)>& body) {
  QSqlError error;
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
      error = q.lastError();
    } else if (!body(q)) {
      error = q.lastError();
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    } else if (!q.exec(QStringLiteral("COMMIT"))) {
      error = q.lastError();
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    } else {
      return {};
    }
    if (!Busy(error)) break;
    QThread::msleep(static_cast<unsigned long>(50 * attempt));
  }
  return error;
}

// A text to bind: never NULL, also when empty (an empty QString binds as NULL).
QString NotNull(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

template <typename T>
QVariant Opt(const std::optional<T>& v) {
  return v ? QVariant::fromValue(*v) : QVariant();
}

std::optional<int> OptInt(const QVariant& v) {
  if (v.isNull()) return std::nullopt;
  return v.toInt();
}

}  // namespace

std::unique_ptr<ContactStore> ContactStoreFor(const QString& pathOrUrl, std::string* error) {
  const bool url = pathOrUrl.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive) ||
                   pathOrUrl.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive);
  if (!url) return std::make_unique<ContactStore>(pathOrUrl);
  const auto target = ParseDatabaseUrl(pathOrUrl, error);
  if (!target) return nullptr;
  return std::make_unique<ContactStore>(*target);
}

ContactStore::ContactStore(QString path)
    : path_(std::move(path)),
      connection_(QStringLiteral("varnel-history-") + QUuid::createUuid().toString()) {
  target_.Engine = DatabaseEngine::SQLite;
  target_.Path = path_;
}

ContactStore::ContactStore(DatabaseTarget target, bool eachContactOnce)
    : path_(target.Engine == DatabaseEngine::SQLite ? target.Path : target.Display()),
      target_(std::move(target)),
      connection_(QStringLiteral("varnel-history-") + QUuid::createUuid().toString()),
      once_(eachContactOnce) {}

ContactStore::~ContactStore() { Close(); }

void ContactStore::Close() {
  if (QSqlDatabase::contains(connection_)) {
    {
      QSqlDatabase db = QSqlDatabase::database(connection_, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
  }
  open_ = false;
}

std::string ContactStore::Open(bool readOnly) {
  Close();
  readOnly_ = readOnly;
  if (target_.Engine == DatabaseEngine::PostgreSQL) {
    if (std::string error = OpenSqlConnection(connection_, target_); !error.empty()) return error;
    if (!readOnly) {
      QSqlDatabase db = QSqlDatabase::database(connection_, false);
      const std::string error =
          varnel::WriteTransaction(db, target_.Engine, [](QSqlQuery& w) -> std::string {
            bool ok = LockSchema(w, DatabaseEngine::PostgreSQL) &&
                      w.exec(QString::fromLatin1(kCreatePostgreSQL));
            for (const auto& column : kLaterColumns) {
              ok = ok && w.exec(QStringLiteral("ALTER TABLE contacts ADD COLUMN IF NOT EXISTS %1 %2")
                                    .arg(QLatin1String(column[0]), QLatin1String(column[1])));
            }
            ok = ok && w.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS contacts_serial "
                                             "ON contacts(serial, contact_time)"));
            return ok ? std::string() : Why(w.lastError());
          });
      if (!error.empty()) {
        db = QSqlDatabase();  // the connection is removed next: no handle may outlive it
        Close();
        return "cannot set up " + path_.toStdString() + ": " + error;
      }
      if (once_) AddOnceIndex();
    }
    open_ = true;
    return {};
  }
  if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
    return "the SQLite driver of Qt SQL is not installed";
  }
  const QFileInfo info(path_);
  if (readOnly) {
    if (!info.exists()) return "no history yet at " + path_.toStdString();
  } else if (!QDir().mkpath(info.absolutePath())) {
    return "cannot create the folder " + info.absolutePath().toStdString();
  }
  std::string error;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    // Two front ends may run at once; a writer waits for the other instead of failing. A
    // reader opens for writing too (SQLite falls back to reading a write-protected file):
    // after a crash only a writable connection can roll the journal back and read at all.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
      error = "cannot open " + path_.toStdString() + ": " + Why(db.lastError());
    } else {
      QSqlQuery q(db);
      if (!readOnly) {
        // Write-ahead logging: readers and the writer of another program do not block each
        // other, and a write holds the lock only for its own short transaction. The mode
        // stays with the file; where it cannot be set the file keeps its journal.
        for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
          if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !Busy(q.lastError())) break;
          QThread::msleep(static_cast<unsigned long>(50 * attempt));
        }
        q.finish();
      }
      int version = 0;
      if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next()) version = q.value(0).toInt();
      q.finish();
      if (!readOnly) {
        if (version > kSchemaVersion) {
          error = "the history at " + path_.toStdString() + " has layout version " +
                  std::to_string(version) + ", newer than this program's " +
                  std::to_string(kSchemaVersion);
        } else if (version < kSchemaVersion) {
          const QSqlError e = WriteTransaction(db, [](QSqlQuery& w) {
            return w.exec(QString::fromLatin1(kCreate)) &&
                   w.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS contacts_serial "
                                         "ON contacts(serial, contact_time)")) &&
                   w.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
          });
          if (e.isValid()) error = "cannot set up " + path_.toStdString() + ": " + Why(e);
        }
        if (error.empty()) error = AddLaterColumns(db);
        if (error.empty() && once_) AddOnceIndex();
      }
    }
  }
  if (!error.empty()) {
    Close();
    return error;
  }
  open_ = true;
  return {};
}

// SQLite knows no ADD COLUMN IF NOT EXISTS: the table's columns are looked at first.
std::string ContactStore::AddLaterColumns(QSqlDatabase& db) {
  QStringList have;
  {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(contacts)"))) {
      return "cannot read " + path_.toStdString() + ": " + Why(q.lastError());
    }
    while (q.next()) have << q.value(1).toString();
  }
  QStringList missing;
  for (const auto& column : kLaterColumns) {
    if (!have.contains(QLatin1String(column[0]))) {
      missing << QStringLiteral("ALTER TABLE contacts ADD COLUMN %1 %2")
                     .arg(QLatin1String(column[0]), QLatin1String(column[1]));
    }
  }
  if (missing.isEmpty()) return {};
  const QSqlError e = WriteTransaction(db, [&missing](QSqlQuery& w) {
    for (const QString& sql : missing) {
      // A second program may have added it meanwhile.
      if (!w.exec(sql) && !w.lastError().text().contains(QLatin1String("duplicate column"))) {
        return false;
      }
    }
    return true;
  });
  return e.isValid() ? "cannot set up " + path_.toStdString() + ": " + Why(e) : std::string();
}

// Tables made before the key had no such index. Where rows that are the same contact twice
// stand in it already the index cannot be made: the contacts still go in, unguarded.
void ContactStore::AddOnceIndex() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  varnel::WriteTransaction(db, target_.Engine, [this](QSqlQuery& w) -> std::string {
    const bool ok = LockSchema(w, target_.Engine) &&
                    w.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS contacts_once ON "
                                          "contacts(serial, contact_time, result, line_bytes, "
                                          "duration)"));
    return ok ? std::string() : Why(w.lastError());
  });
}

namespace {
const QString kInsert = QStringLiteral(
    "INSERT INTO contacts (contact_time, serial, identity_text, device_id, firmware, "
    "battery, clock_offset, clock_set, last_page, reserved_pages, ring_use, state_bits, "
    "error_bits, records_listed, records_read, pages_read, line_bytes, duration, result, "
    "files, collector, port, file_names) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

// The files as the data folder holds them: relative to it, with '/' (a file outside it, in
// the fallback folder, keeps its whole path).
QString FileNames(const ContactFigures& c) {
  QStringList names;
  const QString folder = QDir::cleanPath(QString::fromStdString(c.DataFolder));
  for (const std::string& f : c.Files) {
    const QString path = QDir::cleanPath(QString::fromStdString(f));
    const bool inside = !folder.isEmpty() &&
                        path.startsWith(folder + QLatin1Char('/'), Qt::CaseInsensitive);
    names << (inside ? path.mid(folder.size() + 1) : path);
  }
  return names.join(QLatin1Char('\n'));
}
}  // namespace

std::string ContactStore::Add(const ContactFigures& c) {
  if (!open_ || readOnly_) {
    if (std::string error = Open(false); !error.empty()) return error;
  }
  QStringList files;
  for (const std::string& f : c.Files) files << QString::fromStdString(f);
  const QVariantList values = {
      QVariant::fromValue<qint64>(c.Time),
      QVariant::fromValue<qint64>(c.SerialNumber),
      NotNull(QString::fromStdString(c.IdentityText)),
      NotNull(QString::fromStdString(c.DeviceId)),
      NotNull(QString::fromStdString(c.Firmware)),
      Opt(c.Battery),
      c.ClockOffset ? QVariant::fromValue<qint64>(*c.ClockOffset) : QVariant(),
      c.ClockSet ? 1 : 0,
      Opt(c.LastPage),
      Opt(c.ReservedPages),
      Opt(c.RingUse),
      c.StateBits,
      c.ErrorBits,
      c.RecordsListed,
      c.RecordsRead,
      c.PagesRead,
      QVariant::fromValue<qint64>(static_cast<qint64>(c.LineBytes)),
      c.Duration,
      NotNull(QString::fromLatin1(ContactResultName(c.Result))),
      NotNull(files.join(QLatin1Char('\n'))),  // a contact without files has its row too
      c.Collector.empty() ? QVariant(QMetaType(QMetaType::QString))
                          : QVariant(QString::fromStdString(c.Collector)),
      c.Port > 0 ? QVariant(c.Port) : QVariant(QMetaType(QMetaType::Int)),
      c.DataFolder.empty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(FileNames(c)),
  };
  const QString insert = once_ ? kInsert + QStringLiteral(" ON CONFLICT DO NOTHING") : kInsert;
  QSqlError error;
  {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (target_.Engine == DatabaseEngine::PostgreSQL) {
      const std::string e = varnel::WriteTransaction(db, target_.Engine, [&](QSqlQuery& q) {
        q.prepare(insert);
        for (const QVariant& v : values) q.addBindValue(v);
        return q.exec() ? std::string() : Why(q.lastError());
      });
      if (!e.empty()) {
        db = QSqlDatabase();
        Close();
        return "cannot write to " + path_.toStdString() + ": " + e;
      }
      return {};
    }
    error = WriteTransaction(db, [&values, &insert](QSqlQuery& q) {
      q.prepare(insert);
      for (const QVariant& v : values) q.addBindValue(v);
      return q.exec();
    });
  }
  if (error.isValid()) {
    Close();  // tried afresh at the next contact
    return "cannot write to " + path_.toStdString() + ": " + Why(error);
  }
  return {};
}

namespace {

// Reads the rows of a query on the contacts table (any columns in any order).
class RowReader {
 public:
  explicit RowReader(const QSqlRecord& r) {
    const auto col = [&](const char* name) { return r.indexOf(QLatin1String(name)); };
    time_ = col("contact_time"), sn_ = col("serial"), idText_ = col("identity_text"),
    devId_ = col("device_id"), fw_ = col("firmware"), bat_ = col("battery"),
    clock_ = col("clock_offset"), clockSet_ = col("clock_set"), last_ = col("last_page"),
    reserved_ = col("reserved_pages"), ring_ = col("ring_use"), state_ = col("state_bits"),
    errors_ = col("error_bits"), listed_ = col("records_listed"), recRead_ = col("records_read"),
    pages_ = col("pages_read"), bytes_ = col("line_bytes"), duration_ = col("duration"),
    result_ = col("result"), files_ = col("files");
  }

  ContactFigures Read(const QSqlQuery& q) const {
    ContactFigures c;
    c.Time = q.value(time_).toLongLong();
    c.SerialNumber = static_cast<std::uint32_t>(q.value(sn_).toLongLong());
    c.IdentityText = q.value(idText_).toString().toStdString();
    c.DeviceId = q.value(devId_).toString().toStdString();
    c.Firmware = q.value(fw_).toString().toStdString();
    c.Battery = OptInt(q.value(bat_));
    if (!q.value(clock_).isNull()) c.ClockOffset = q.value(clock_).toLongLong();
    c.ClockSet = q.value(clockSet_).toInt() != 0;
    c.LastPage = OptInt(q.value(last_));
    c.ReservedPages = OptInt(q.value(reserved_));
    if (!q.value(ring_).isNull()) c.RingUse = q.value(ring_).toDouble();
    c.StateBits = q.value(state_).toInt();
    c.ErrorBits = q.value(errors_).toInt();
    c.RecordsListed = q.value(listed_).toInt();
    c.RecordsRead = q.value(recRead_).toInt();
    c.PagesRead = q.value(pages_).toInt();
    c.LineBytes = static_cast<std::uint64_t>(q.value(bytes_).toLongLong());
    c.Duration = q.value(duration_).toDouble();
    c.Result = ParseContactResult(q.value(result_).toString().toStdString())
                   .value_or(ContactResult::Dropped);
    for (const QString& f :
         q.value(files_).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      c.Files.push_back(f.toStdString());
    }
    return c;
  }

 private:
  int time_, sn_, idText_, devId_, fw_, bat_, clock_, clockSet_, last_, reserved_, ring_, state_,
      errors_, listed_, recRead_, pages_, bytes_, duration_, result_, files_;
};

}  // namespace

bool ContactStore::Select(QSqlQuery& q, const QString& sql, const QVariantList& values,
                          std::string* error) {
  if (!open_) {
    if (std::string e = Open(true); !e.empty()) {
      if (error) *error = e;
      return false;
    }
  }
  q = QSqlQuery(QSqlDatabase::database(connection_, false));
  q.setForwardOnly(true);
  q.prepare(sql);
  for (const QVariant& v : values) q.addBindValue(v);
  if (!q.exec()) {
    if (error) *error = "cannot read " + path_.toStdString() + ": " + Why(q.lastError());
    return false;
  }
  return true;
}

std::vector<ContactFigures> ContactStore::Contacts(std::optional<std::uint32_t> serial,
                                                   std::string* error) {
  std::vector<ContactFigures> out;
  QSqlQuery q;
  const QString select = QStringLiteral("SELECT * FROM contacts");
  const bool ok =
      serial ? Select(q, select + QStringLiteral(" WHERE serial = ? ORDER BY contact_time, id"),
                      {QVariant::fromValue<qint64>(*serial)}, error)
             : Select(q, select + QStringLiteral(" ORDER BY contact_time, id"), {}, error);
  if (!ok) return out;
  const RowReader reader(q.record());
  while (q.next()) out.push_back(reader.Read(q));
  return out;
}

std::vector<LoggerContacts> ContactStore::NewestContacts(int newest,
                                                         std::optional<std::uint32_t> serial,
                                                         std::string* error) {
  std::vector<LoggerContacts> out;
  // The count per logger scans the (serial, contact_time) index only; the newest rows of
  // each logger are a short walk down the same index from its end, so neither the time
  // nor the memory grows with the length of the history.
  QVariantList values;
  if (serial) values << QVariant::fromValue<qint64>(*serial);
  values << newest;
  QSqlQuery q;
  if (!Select(q,
              QStringLiteral("WITH loggers AS (SELECT serial, COUNT(*) AS total FROM contacts%1 "
                             "GROUP BY serial) "
                             "SELECT l.total AS total, c.* FROM loggers l JOIN contacts c ON c.id IN "
                             "(SELECT id FROM contacts WHERE serial = l.serial "
                             "ORDER BY contact_time DESC, id DESC LIMIT ?) "
                             "ORDER BY c.serial, c.contact_time, c.id")
                  .arg(serial ? QStringLiteral(" WHERE serial = ?") : QString()),
              values, error)) {
    return out;
  }
  const RowReader reader(q.record());
  const int total = q.record().indexOf(QStringLiteral("total"));
  while (q.next()) {
    ContactFigures c = reader.Read(q);
    if (out.empty() || out.back().Serial != c.SerialNumber) {
      out.push_back({c.SerialNumber, q.value(total).toInt(), {}});
    }
    out.back().Newest.push_back(std::move(c));
  }
  return out;
}

std::vector<ContactFigures> ContactStore::ContactsPage(std::uint32_t serial,
                                                       ContactPosition* after, int limit,
                                                       std::string* error) {
  std::vector<ContactFigures> out;
  QSqlQuery q;
  if (!Select(q,
              QStringLiteral("SELECT id, * FROM contacts WHERE serial = ? AND "
                             "(contact_time > ? OR (contact_time = ? AND id > ?)) "
                             "ORDER BY contact_time, id LIMIT ?"),
              {QVariant::fromValue<qint64>(serial), QVariant::fromValue<qint64>(after->Time),
               QVariant::fromValue<qint64>(after->Time), QVariant::fromValue<qint64>(after->Id),
               limit},
              error)) {
    return out;
  }
  const RowReader reader(q.record());
  while (q.next()) {
    out.push_back(reader.Read(q));
    *after = {out.back().Time, q.value(0).toLongLong()};
  }
  return out;
}

}  // namespace varnel
