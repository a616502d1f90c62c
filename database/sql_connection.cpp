#include "database/sql_connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace varnel {

namespace {

constexpr int kBusyTimeoutMs = 2000;
constexpr int kWriteAttempts = 4;
constexpr int kConnectTimeoutSeconds = 5;

// Another SQLite connection holds the lock (SQLITE_BUSY, SQLITE_LOCKED).
bool Busy(const QSqlError& e) {
  const QString code = e.nativeErrorCode();
  return code == QLatin1String("5") || code == QLatin1String("6") ||
         e.text().contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

}  // namespace

std::string SqlWhy(const QSqlError& e) {
  const QString text = e.text().trimmed();
  return (text.isEmpty() ? QStringLiteral("unknown database error") : text).toStdString();
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
      db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds));
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
