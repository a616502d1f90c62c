#include "database/outbox.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <functional>

#include "common/locations.h"
#include "common/process_identity.h"
#include "database/pending_lists.h"
#include "database/sql_connection.h"

namespace varnel {

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS outbox ("
    " id INTEGER PRIMARY KEY,"
    " kind TEXT NOT NULL,"      // 'file' or 'contact'
    " item TEXT NOT NULL,"      // the file's path, or the contact's line
    " state TEXT NOT NULL,"     // 'open' (a contact still going on) or 'due'
    " owner TEXT,"              // an open contact's program: boot id and process
    " attempts INTEGER NOT NULL DEFAULT 0,"
    " last_error TEXT,"
    " added INTEGER NOT NULL)",
    // A file is marked once however often it is marked.
    "CREATE UNIQUE INDEX IF NOT EXISTS outbox_file ON outbox(item) WHERE kind = 'file'",
};

QString KindName(OutboxKind kind) {
  return kind == OutboxKind::File ? QStringLiteral("file") : QStringLiteral("contact");
}

QString Owner() { return BootId() + QLatin1Char('/') + QString::number(CurrentProcessId()); }

bool OwnerAlive(const QString& owner) {
  const int slash = owner.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return false;
  // A process number of an earlier boot may belong to anybody now.
  if (owner.left(slash) != BootId()) return false;
  return ProcessAlive(owner.mid(slash + 1).toLongLong());
}

// One connection for one piece of work on the calling thread, closed after it.
std::string WithOutbox(const QString& path, const std::function<std::string(QSqlDatabase&)>& work) {
  const QString name = QStringLiteral("varnel-outbox-") + QUuid::createUuid().toString();
  DatabaseTarget target;
  target.Path = path;
  if (std::string error = OpenSqlConnection(name, target); !error.empty()) {
    return "outbox " + path.toStdString() + ": " + error;
  }
  std::string error;
  {
    QSqlDatabase db = QSqlDatabase::database(name, false);
    error = WriteTransaction(db, DatabaseEngine::SQLite, [](QSqlQuery& q) -> std::string {
      for (const char* sql : kSchema) {
        if (!q.exec(QString::fromLatin1(sql))) return SqlWhy(q.lastError());
      }
      return {};
    });
    if (error.empty()) error = work(db);
  }
  CloseSqlConnection(name);
  return error.empty() ? error : "outbox " + path.toStdString() + ": " + error;
}

// Runs `sql` with `values` bound in order inside a write transaction.
std::string Write(const QString& path, const QString& sql, const QVariantList& values,
                  std::int64_t* insertedId = nullptr) {
  return WithOutbox(path, [&](QSqlDatabase& db) {
    return WriteTransaction(db, DatabaseEngine::SQLite, [&](QSqlQuery& q) -> std::string {
      q.prepare(sql);
      for (const QVariant& v : values) q.addBindValue(v);
      if (!q.exec()) return SqlWhy(q.lastError());
      if (insertedId) *insertedId = q.lastInsertId().toLongLong();
      return {};
    });
  });
}

qint64 Now() { return QDateTime::currentSecsSinceEpoch(); }

}  // namespace

QString Outbox::PathFor(const DatabaseTarget& target, const QString& folder) {
  // Named for the database without its password, so that a new password keeps the outbox.
  const QByteArray key = target.Engine == DatabaseEngine::SQLite
                             ? QFileInfo(target.Path).absoluteFilePath().toUtf8()
                             : target.Display().toUtf8();
  const QString hash = QString::fromLatin1(
      QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(12));
  QString name = target.Engine == DatabaseEngine::SQLite ? QFileInfo(target.Path).completeBaseName()
                                                         : target.Host + QLatin1Char('-') +
                                                               target.Name;
  static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
  name.replace(unsafe, QStringLiteral("_"));
  return (folder.isEmpty() ? UserDataFolder() : folder) + QStringLiteral("/outbox/") +
         name.left(40) + QLatin1Char('-') + hash + QStringLiteral(".sqlite");
}

Outbox::Outbox(QString path) : path_(std::move(path)) {}

QString Outbox::RefusedListPath() const {
  const QFileInfo info(path_);
  return info.dir().filePath(info.completeBaseName() + QStringLiteral("-refused.txt"));
}

std::string Outbox::AddFile(const QString& path) {
  return Write(path_,
               QStringLiteral("INSERT OR IGNORE INTO outbox (kind, item, state, added) "
                              "VALUES ('file', ?, 'due', ?)"),
               {path, Now()});
}

std::string Outbox::OpenContact(const ContactFigures& contact, std::int64_t* id) {
  // Kept as it would be sent if this program ended now: stopped during its call.
  ContactFigures asLeft = contact;
  asLeft.Result = ContactResult::Stopped;
  return Write(path_,
               QStringLiteral("INSERT INTO outbox (kind, item, state, owner, added) "
                              "VALUES ('contact', ?, 'open', ?, ?)"),
               {ContactLine(asLeft), Owner(), Now()}, id);
}

std::string Outbox::EndContact(std::int64_t id, const ContactFigures& contact) {
  return WithOutbox(path_, [&](QSqlDatabase& db) {
    return WriteTransaction(db, DatabaseEngine::SQLite, [&](QSqlQuery& q) -> std::string {
      q.prepare(QStringLiteral("UPDATE outbox SET item = ?, state = 'due', owner = NULL "
                               "WHERE id = ? AND kind = 'contact'"));
      q.addBindValue(ContactLine(contact));
      q.addBindValue(static_cast<qint64>(id));
      if (!q.exec()) return SqlWhy(q.lastError());
      if (q.numRowsAffected() > 0) return {};
      q.prepare(QStringLiteral("INSERT INTO outbox (kind, item, state, added) "
                               "VALUES ('contact', ?, 'due', ?)"));
      q.addBindValue(ContactLine(contact));
      q.addBindValue(Now());
      return q.exec() ? std::string() : SqlWhy(q.lastError());
    });
  });
}

std::string Outbox::ReleaseOrphans() {
  return WithOutbox(path_, [&](QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, owner FROM outbox WHERE state = 'open'"))) {
      return SqlWhy(q.lastError());
    }
    QVariantList orphans;
    while (q.next()) {
      if (!OwnerAlive(q.value(1).toString())) orphans << q.value(0);
    }
    if (orphans.isEmpty()) return std::string();
    return WriteTransaction(db, DatabaseEngine::SQLite, [&](QSqlQuery& u) -> std::string {
      u.prepare(QStringLiteral("UPDATE outbox SET state = 'due', owner = NULL WHERE id = ?"));
      for (const QVariant& id : orphans) {
        u.addBindValue(id);
        if (!u.exec()) return SqlWhy(u.lastError());
      }
      return {};
    });
  });
}

std::vector<OutboxEntry> Outbox::Due(std::string* error) {
  std::vector<OutboxEntry> due;
  const std::string why = WithOutbox(path_, [&](QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, kind, item, attempts FROM outbox WHERE state = 'due' "
                               "ORDER BY kind = 'contact', id"))) {
      return SqlWhy(q.lastError());
    }
    while (q.next()) {
      due.push_back({q.value(0).toLongLong(),
                     q.value(1).toString() == QLatin1String("file") ? OutboxKind::File
                                                                    : OutboxKind::Contact,
                     q.value(2).toString(), q.value(3).toInt()});
    }
    return std::string();
  });
  if (error) *error = why;
  return due;
}

int Outbox::Waiting() {
  int n = 0;
  WithOutbox(path_, [&](QSqlDatabase& db) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT COUNT(*) FROM outbox")) && q.next()) {
      n = q.value(0).toInt();
    }
    return std::string();
  });
  return n;
}

std::string Outbox::Remove(const std::vector<std::int64_t>& ids) {
  if (ids.empty()) return {};
  return WithOutbox(path_, [&](QSqlDatabase& db) {
    return WriteTransaction(db, DatabaseEngine::SQLite, [&](QSqlQuery& q) -> std::string {
      q.prepare(QStringLiteral("DELETE FROM outbox WHERE id = ?"));
      for (const std::int64_t id : ids) {
        q.addBindValue(static_cast<qint64>(id));
        if (!q.exec()) return SqlWhy(q.lastError());
      }
      return {};
    });
  });
}

std::string Outbox::CountAttempt(std::int64_t id, const std::string& why) {
  return Write(path_,
               QStringLiteral("UPDATE outbox SET attempts = attempts + 1, last_error = ? "
                              "WHERE id = ?"),
               {QString::fromStdString(why), static_cast<qint64>(id)});
}

std::string Outbox::SetAside(const OutboxEntry& entry, const std::string& why) {
  // Into the list first: an entry is in one of the two, or for a moment in both, never in
  // neither.
  QFile list(RefusedListPath());
  if (!list.open(QIODevice::WriteOnly | QIODevice::Append)) {
    return "cannot write " + RefusedListPath().toStdString() + ": " +
           list.errorString().toStdString();
  }
  QString reason = QString::fromStdString(why);
  reason.replace(QLatin1Char('\n'), QLatin1Char(' '));
  list.write(("# " + reason + '\n' + KindName(entry.Kind) + '\t' + entry.Item + '\n').toUtf8());
  if (!list.flush()) return "cannot write " + RefusedListPath().toStdString();
  list.close();
  return Remove({entry.Id});
}

std::vector<RefusedEntry> ReadRefusedList(const QString& path) {
  std::vector<RefusedEntry> entries;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return entries;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw);
    const int tab = line.indexOf(QLatin1Char('\t'));
    if (line.startsWith(QLatin1Char('#')) || tab < 0) continue;
    const QString kind = line.left(tab);
    if (kind != QLatin1String("file") && kind != QLatin1String("contact")) continue;
    entries.push_back({kind == QLatin1String("file") ? OutboxKind::File : OutboxKind::Contact,
                       line.mid(tab + 1)});
  }
  return entries;
}

bool WriteRefusedList(const QString& path, const std::vector<RefusedEntry>& entries) {
  if (entries.empty()) return !QFile::exists(path) || QFile::remove(path);
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  for (const RefusedEntry& e : entries) f.write((KindName(e.Kind) + '\t' + e.Item + '\n').toUtf8());
  return f.commit();
}

}  // namespace varnel
