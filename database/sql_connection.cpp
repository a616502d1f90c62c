#include "database/sql_connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QThread>

#include <cstdlib>

namespace varnel {

namespace {

constexpr int kBusyTimeoutMs = 2000;
constexpr int kWriteAttempts = 4;
constexpr int kConnectTimeoutSeconds = 5;
// A statement or a lock that takes longer than these is a server in trouble (a table locked
// by someone's open transaction, a disk that hangs), not a slow write: the round ends and the
// marks wait for the next one, instead of the database thread waiting without end.
constexpr int kStatementTimeoutMs = 60000;
constexpr int kLockTimeoutMs = 15000;
// A connection whose server vanished without a word (a half-open TCP connection after a
// router or the server's host went) is given up after about half a minute.
constexpr int kKeepAliveIdleSeconds = 20;
constexpr int kKeepAliveIntervalSeconds = 5;
constexpr int kKeepAliveCount = 3;
constexpr int kTcpUserTimeoutMs = 30000;

// A value in the client library's connection string: quoted, with quote and backslash escaped.
QString Quoted(QString value) {
  value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  value.replace(QLatin1Char('\''), QLatin1String("\\'"));
  return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// The session's settings and the URL's own options, as the driver passes them to the client
// library (separated by ";"). The URL's options come last and so win over the defaults.
QString PostgreSqlOptions(const DatabaseTarget& t) {
  QStringList options = {
      QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds),
      QStringLiteral("fallback_application_name=varnel"),
      QStringLiteral("keepalives=1"),
      QStringLiteral("keepalives_idle=%1").arg(kKeepAliveIdleSeconds),
      QStringLiteral("keepalives_interval=%1").arg(kKeepAliveIntervalSeconds),
      QStringLiteral("keepalives_count=%1").arg(kKeepAliveCount),
      QStringLiteral("tcp_user_timeout=%1").arg(kTcpUserTimeoutMs),
      // The server's NOTICE lines ("relation already exists, skipping") would otherwise be
      // printed by the client library into the collector's output.
      QStringLiteral("options=") +
          Quoted(QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%2 "
                                "-c client_min_messages=warning")
                     .arg(kStatementTimeoutMs)
                     .arg(kLockTimeoutMs))};
  for (const auto& [key, value] : t.Options) options << key + QLatin1Char('=') + Quoted(value);
  return options.join(QLatin1Char(';'));
}

// Another SQLite connection holds the lock (SQLITE_BUSY, SQLITE_LOCKED).
bool Busy(const QSqlError& e) {
  const QString code = e.nativeErrorCode();
  return code == QLatin1String("5") || code == QLatin1String("6") ||
         e.text().contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

}  // namespace

std::string SqlWhy(const QSqlError& e) {
  QString text = e.text().trimmed();
  if (text.isEmpty()) text = QStringLiteral("unknown database error");
  // The server's five-character code says what kind of failure it is (see FailureOf);
  // SQLite's codes are numbers of at most four digits and stay out.
  static const QRegularExpression sqlState(QStringLiteral("^[0-9A-Z]{5}$"));
  const QString code = e.nativeErrorCode();
  static const QRegularExpression sqliteCode(QStringLiteral("^[0-9]{1,4}$"));
  if (sqlState.match(code).hasMatch()) {
    text += QStringLiteral(" (SQLSTATE %1)").arg(code);
  } else if (sqliteCode.match(code).hasMatch()) {
    text += QStringLiteral(" (SQLite %1)").arg(code);
  }
  return text.toStdString();
}

SqlFailure FailureOf(const std::string& error) {
  const auto state = error.rfind("(SQLSTATE ");
  if (state != std::string::npos && error.size() >= state + 16) {
    const std::string code = error.substr(state + 10, 5);
    const std::string group = code.substr(0, 2);
    if (code == "57014" || code == "55P03") return SqlFailure::NotAnswering;
    // Data exceptions, constraints, syntax and access rules (a missing table or column, no
    // right to write): the database's own word about this row.
    if (group == "22" || group == "23" || group == "42" || group == "44") {
      return SqlFailure::Refused;
    }
    if (group == "08") return SqlFailure::Unreachable;
    // Resources (53: disk full, out of memory), operator intervention (57: shut down,
    // cancelled), system errors (58), deadlocks and conflicts (40), object in use (55),
    // and whatever else a server may say: nothing this program may throw away for.
    return SqlFailure::Transient;
  }
  const auto sqlite = error.rfind("(SQLite ");
  if (sqlite != std::string::npos) {
    const int code = std::atoi(error.c_str() + sqlite + 8) & 0xFF;  // the primary code
    // SQLITE_ERROR (no such table, a syntax error), CONSTRAINT, MISMATCH, RANGE.
    if (code == 1 || code == 19 || code == 20 || code == 25) return SqlFailure::Refused;
    return SqlFailure::Transient;  // busy, locked, full, I/O, read-only, cannot open ...
  }
  // No code: the connection broke (the server closed it, the network went) or never came.
  return SqlFailure::Unreachable;
}

void CloseSqlConnection(const QString& name) {
  if (!QSqlDatabase::contains(name)) return;
  {
    QSqlDatabase db = QSqlDatabase::database(name, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

std::string OpenSqlConnection(const QString& name, const DatabaseTarget& t) {
  CloseSqlConnection(name);
  const bool sqlite = t.Engine == DatabaseEngine::SQLite;
  const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
  if (!QSqlDatabase::isDriverAvailable(driver)) {
    return sqlite ? "the SQLite driver of Qt SQL is not installed"
                  : "the PostgreSQL driver of Qt SQL is not installed (libqt6sql6-psql)";
  }
  if (sqlite && !QDir().mkpath(QFileInfo(t.Path).absolutePath())) {
    return "cannot create the folder " + QFileInfo(t.Path).absolutePath().toStdString();
  }
  std::string error;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
    if (sqlite) {
      db.setDatabaseName(t.Path);
      db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    } else {
      db.setDatabaseName(t.Name);
      if (!t.Host.isEmpty()) db.setHostName(t.Host);
      if (t.Port > 0) db.setPort(t.Port);
      if (!t.User.isEmpty()) db.setUserName(t.User);
      if (!t.Password.isEmpty()) db.setPassword(t.Password);
      db.setConnectOptions(PostgreSqlOptions(t));
    }
    if (!db.open()) {
      error = "cannot open " + t.Display().toStdString() + ": " + SqlWhy(db.lastError());
    } else if (sqlite) {
      // Readers and the writer of another program do not block each other; where the mode
      // cannot be set the file keeps its journal.
      QSqlQuery q(db);
      for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !Busy(q.lastError())) break;
        QThread::msleep(static_cast<unsigned long>(50 * attempt));
      }
    }
  }
  if (!error.empty()) CloseSqlConnection(name);
  return error;
}

std::string WriteTransaction(QSqlDatabase& db, DatabaseEngine engine,
                             const std::function<std::string(QSqlQuery&)>& body) {
  const bool sqlite = engine == DatabaseEngine::SQLite;
  std::string error;
  bool busy = false;
  for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
    QSqlQuery q(db);
    if (!q.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))) {
      error = SqlWhy(q.lastError());
      busy = Busy(q.lastError());
    } else if (error = body(q); !error.empty()) {
      busy = error.find("locked") != std::string::npos;
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    } else if (!q.exec(QStringLiteral("COMMIT"))) {
      error = SqlWhy(q.lastError());
      busy = Busy(q.lastError());
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    } else {
      return {};
    }
    if (!sqlite || !busy) break;
    QThread::msleep(static_cast<unsigned long>(50 * attempt));
  }
  return error;
}

bool LockSchema(QSqlQuery& q, DatabaseEngine engine) {
  if (engine == DatabaseEngine::SQLite) return true;
  // Any fixed number: every collector that sets up the tables takes the same lock.
  return q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(2204160001)"));
}

}  // namespace varnel
