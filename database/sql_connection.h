#pragma once
#include <QString>
#include <functional>
#include <string>

#include "database/database_url.h"

QT_BEGIN_NAMESPACE
class QSqlDatabase;
class QSqlError;
class QSqlQuery;
QT_END_NAMESPACE

// Opening a Qt SQL connection to either engine, and the one way this program writes: a
// transaction that takes the write lock at its start.
namespace varnel {

// Adds the connection `name` (on the calling thread, which alone may use it) and opens it:
// an SQLite file (its folder made when missing, a writer waits up to two seconds for
// another's lock, write-ahead log) or a PostgreSQL server (a short connect timeout, so an
// unreachable server is noticed within seconds). Empty on success, else the reason; the
// connection is then removed again.
std::string OpenSqlConnection(const QString& name, const DatabaseTarget& target);
void CloseSqlConnection(const QString& name);

// The text of an error; never empty. A server's error ends in "(SQLSTATE xxxxx)", SQLite's in
// "(SQLite n)": FailureOf reads them back.
std::string SqlWhy(const QSqlError& e);

// What a failed write means for what it was writing.
enum class SqlFailure {
  Unreachable,   // the server or its connection is away: keep, try again later
  NotAnswering,  // a statement or lock time-out: the server is there but stuck; as above
  Transient,     // out of disk or memory, shut down by its operator, a deadlock or a
                 // serialisation conflict: as above
  Refused,       // the database refuses this one row (its data or the table's definition):
                 // trying again changes nothing
};
SqlFailure FailureOf(const std::string& error);

// Runs `body` in one transaction. On SQLite it begins IMMEDIATE, so two writers queue at
// the BEGIN under the busy timeout, and a write that still finds the file busy is tried
// again a few times. `body` returns empty on success, else its error; a failed body or commit
// rolls back. Empty on success, else the error.
std::string WriteTransaction(QSqlDatabase& db, DatabaseEngine engine,
                             const std::function<std::string(QSqlQuery&)>& body);

// Serialises the creation of tables by several collectors starting at once (a PostgreSQL
// CREATE TABLE IF NOT EXISTS may otherwise fail on a twin). Call first in the set-up
// transaction; does nothing on SQLite, whose BEGIN IMMEDIATE already serialises.
bool LockSchema(QSqlQuery& q, DatabaseEngine engine);

}  // namespace varnel
