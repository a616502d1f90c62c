#pragma once
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/contact_figures.h"
#include "database/database_url.h"

QT_BEGIN_NAMESPACE
class QSqlDatabase;
QT_END_NAMESPACE

// The contact history: one SQLite file (through Qt SQL) with one row per contact. Every
// contact is one transaction, so a crash in the middle of a write leaves the file as it
// was before that contact (SQLite's write-ahead log). Several programs may write the same
// file: each write takes the lock at its start and waits a bounded time for another's.
// A store that cannot be opened or written says why and is tried again at the next
// contact; it never stops a readout. The same table can live in a PostgreSQL database that
// several collectors share (the fleet's history).
QT_BEGIN_NAMESPACE
class QSqlQuery;
QT_END_NAMESPACE

namespace varnel {

// One logger's number of contacts and its newest ones, oldest first.
struct LoggerContacts {
  std::uint32_t Serial = 0;
  int Total = 0;
  std::vector<ContactFigures> Newest;
};

// Where a page of one logger's contacts ended: the next page starts after it.
struct ContactPosition {
  std::int64_t Time = std::numeric_limits<std::int64_t>::min();
  std::int64_t Id = 0;
};

class ContactStore : public ContactService {
 public:
  // The version of the table layout this program writes (kept in the file's user_version).
  static constexpr int kSchemaVersion = 1;

  explicit ContactStore(QString path);
  // The contacts table of a database URL's target (an SQLite file or a PostgreSQL server).
  // `eachContactOnce`: a contact that is there already is not added again (a unique index
  // on the logger, the start, the result, the line bytes and the duration), for a writer
  // that may send the same contact again after it broke off.
  explicit ContactStore(DatabaseTarget target, bool eachContactOnce = false);
  ~ContactStore() override;
  ContactStore(const ContactStore&) = delete;
  ContactStore& operator=(const ContactStore&) = delete;

  const QString& Path() const { return path_; }

  // Opens the file, creating it, its folder and its table when missing. Empty on success,
  // else the reason. readOnly: creates nothing and writes no row (SQLite may still roll
  // back what a crashed writer left unfinished).
  std::string Open(bool readOnly = false);
  bool IsOpen() const { return open_; }

  // Adds one contact (opening the store first when needed). Empty on success.
  std::string Add(const ContactFigures& contact);
  std::string ContactEnded(const ContactFigures& contact) override { return Add(contact); }

  // The contacts of one logger, or of all, oldest first. Empty and *error set on failure.
  std::vector<ContactFigures> Contacts(std::optional<std::uint32_t> serial = std::nullopt,
                                       std::string* error = nullptr);

  // For every logger (or the one given), ascending by serial number: its number of
  // contacts and its `newest` latest contacts. Empty and *error set on failure.
  std::vector<LoggerContacts> NewestContacts(int newest,
                                             std::optional<std::uint32_t> serial = std::nullopt,
                                             std::string* error = nullptr);

  // The next at most `limit` contacts of one logger after *after, oldest first; *after
  // moves past them. An empty page with *error untouched: no more contacts.
  std::vector<ContactFigures> ContactsPage(std::uint32_t serial, ContactPosition* after,
                                           int limit, std::string* error = nullptr);

 private:
  void Close();
  void AddOnceIndex();
  std::string AddLaterColumns(QSqlDatabase& db);
  // Runs a read (opening the store when needed); false and *error set on failure.
  bool Select(QSqlQuery& q, const QString& sql, const QVariantList& values, std::string* error);

  QString path_;  // the SQLite file, or the server's URL for messages
  DatabaseTarget target_;
  QString connection_;
  bool open_ = false;
  bool readOnly_ = false;
  bool once_ = false;
};

// The store of a history file, or of a database URL (sqlite:..., postgresql://...): the
// contacts of every collector that writes into that database. Empty with *error when the
// URL cannot be used.
std::unique_ptr<ContactStore> ContactStoreFor(const QString& pathOrUrl, std::string* error);

}  // namespace varnel
