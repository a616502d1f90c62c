#pragma once
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "common/contact_figures.h"
#include "database/outbox.h"

// The database beside the data files: the entries of each new data file and each contact go
// into the database of the [Database] Url= setting (or the collector's --database), on a
// thread of its own, so neither the window nor the line ever waits for it. The files are
// written as always whatever the database does. A file is marked in the database's outbox
// the moment it is committed, a contact when it begins (sent as it stands should the program
// die) and again at its end; marks go once their rows are in. A database that cannot be
// reached or does not answer keeps the marks, says so once, and is tried again after a
// growing pause, at the next contact and at the next start of collecting. Only what the
// database refuses for its content is set aside, into a list that varnel-export can load.
namespace varnel {

class SinkRounds;

enum class DatabaseEvent {
  Unreachable,  // detail: why (said once until the database is reached again)
  CaughtUp,     // detail: the number of files whose rows followed late
  FileRefused,  // detail: a data file that cannot be read, and why (it is not tried again)
  BadUrl,       // detail: why the URL cannot be used (said once per URL)
  Refused,      // no longer sent: a refusal is set aside (RefusedSetAside)
  StillWriting, // not sent by the sink: its owner says it when Stop() found it still busy
  NotAnswering, // detail: a statement or lock time-out (said once, as Unreachable)
  RefusedSetAside,  // detail: what was refused, why, and the list it was moved to
  OutboxFailed,     // detail: the outbox could not be written (the file is still on disk)
};

class DatabaseSink : public ContactService {
 public:
  // `local`: the per-PC history, which gets every contact first (may be null). `url` is
  // asked at each contact (empty: no database). `report` is called on the thread that made
  // the sink, through its event loop.
  DatabaseSink(ContactService* local, std::function<QString()> url,
               std::function<void(DatabaseEvent, const std::string&)> report,
               QString outboxFolder = {});
  // Stops as Stop(15000); a thread still busy after that is left to end alone.
  ~DatabaseSink() override;
  DatabaseSink(const DatabaseSink&) = delete;
  DatabaseSink& operator=(const DatabaseSink&) = delete;

  void ContactOpened(const ContactFigures& contact) override;
  void FileCommitted(const std::string& path) override;
  std::string ContactEnded(const ContactFigures& contact) override;
  // Sends what is still marked from before (of this run or of an earlier one).
  void CollectingStarted() override;

  // True when every contact handed over has been dealt with (within `ms`).
  bool WaitIdle(int ms);

  // Lets the thread finish what it was handed (within `ms`) and end. True when it has ended
  // (and no longer touches the database); false when it is still inside a write, whose
  // marks stay for the next run.
  bool Stop(int ms);

 private:
  friend class SinkRounds;

 public:
  struct Shared;  // what the sink's threads share; defined with them

 private:
  void Queue(const QString& url);
  // The outbox of the URL asked for now (empty: no database, or one that cannot be used).
  QString OutboxNow(QString* url);

  ContactService* local_;
  std::function<QString()> url_;
  QString folder_;
  std::map<std::uint64_t, std::int64_t> openContacts_;  // contact number -> outbox row
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  std::thread marker_;  // marks committed files in the outbox (see FileCommitted)
  bool stopTried_ = false;
};

}  // namespace varnel
