#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "common/contact_figures.h"
#include "database/database_url.h"

// What one database has not got yet, kept on disk so that nothing is lost whatever happens to
// the program or the server: each data file from the moment it is committed, each contact
// from its connection (as "open", sent as it stands if its program dies) to its end. One
// small SQLite file per database (write-ahead log, one row per file or contact), so that
// collectors writing into different databases never send each other's rows, and those of one
// PC writing into the same database share it safely. Every call opens its own connection on
// the calling thread: the file worker, the window and the database thread all mark and read.
namespace varnel {

enum class OutboxKind { File, Contact };

struct OutboxEntry {
  std::int64_t Id = 0;
  OutboxKind Kind = OutboxKind::File;
  QString Item;  // a file: its path; a contact: its figures as one line (ContactLine)
  int Attempts = 0;
};

class Outbox {
 public:
  // The outbox of `target` in `folder` (default: the per-user data folder).
  static QString PathFor(const DatabaseTarget& target, const QString& folder = {});
  explicit Outbox(QString path);

  const QString& Path() const { return path_; }
  // Where entries the database refused are set aside, one per line, for varnel-export.
  QString RefusedListPath() const;

  // Each returns empty on success, else why the outbox could not be written.
  std::string AddFile(const QString& path);
  // A contact that began: kept as "open" (owned by this process) until it ends; *id is its
  // row for EndContact.
  std::string OpenContact(const ContactFigures& contact, std::int64_t* id);
  // The contact's final figures; `id` 0 (or a row that is gone) adds it anew.
  std::string EndContact(std::int64_t id, const ContactFigures& contact);
  // Open contacts whose program is no longer running are sent as they were left.
  std::string ReleaseOrphans();

  // Everything that is due to be sent, files first, oldest first.
  std::vector<OutboxEntry> Due(std::string* error = nullptr);
  // How many files and contacts wait, open contacts included.
  int Waiting();
  std::string Remove(const std::vector<std::int64_t>& ids);
  std::string CountAttempt(std::int64_t id, const std::string& why);
  // Moves an entry the database refused to the refused list, with why, and out of here.
  std::string SetAside(const OutboxEntry& entry, const std::string& why);

 private:
  QString path_;
};

// The refused list: "file<TAB>path" or "contact<TAB>line" entries, each after a "# why" line.
struct RefusedEntry {
  OutboxKind Kind = OutboxKind::File;
  QString Item;
};
std::vector<RefusedEntry> ReadRefusedList(const QString& path);
bool WriteRefusedList(const QString& path, const std::vector<RefusedEntry>& entries);

}  // namespace varnel
