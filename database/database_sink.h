#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/contact_figures.h"

// The database beside the data files: after each contact, the entries of its new data files
// and the contact itself go into the database of the [Database] Url= setting (or the
// collector's --database), on a thread of its own, so neither the window nor the line ever
// waits for it. The files are written as always whatever the database does. A file is
// marked as pending (in a small list in the per-user data folder) before it is sent and
// unmarked once its rows are in; a database that cannot be reached leaves the marks, says so
// once, and the rows follow at the next contact that reaches it.
namespace varnel {

enum class DatabaseEvent {
  Unreachable,  // detail: why (said once until the database is reached again)
  CaughtUp,     // detail: the number of files whose rows followed late
  FileRefused,  // detail: a data file that cannot be read, and why (it is not tried again)
  BadUrl,       // detail: why the URL cannot be used (said once per URL)
};

class DatabaseSink : public ContactSink {
 public:
  // `local`: the per-PC history, which gets every contact first (may be null). `url` is
  // asked at each contact (empty: no database). `report` is called on the thread that made
  // the sink, through its event loop.
  DatabaseSink(ContactSink* local, std::function<QString()> url,
               std::function<void(DatabaseEvent, const std::string&)> report,
               QString pendingList = {});
  // Waits a bounded time for the rows still being written; what is left stays marked.
  ~DatabaseSink() override;
  DatabaseSink(const DatabaseSink&) = delete;
  DatabaseSink& operator=(const DatabaseSink&) = delete;

  std::string ContactEnded(const ContactFigures& contact) override;

  // True when every contact handed over has been dealt with (within `ms`).
  bool WaitIdle(int ms);

 private:
  struct Shared;
  ContactSink* local_;
  std::function<QString()> url_;
  std::shared_ptr<Shared> shared_;
};

// Where the marks of files whose rows are not yet in the database are kept.
QString DefaultPendingListPath();

// The marked files, and changes to the list (safe against other collectors of this user).
QStringList ReadPendingFiles(const QString& list);
bool AddPendingFiles(const QString& list, const QStringList& files);
bool RemovePendingFiles(const QString& list, const QStringList& files);

}  // namespace varnel
