#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/contact_figures.h"
#include "database/pending_lists.h"

// The database beside the data files: after each contact, the entries of its new data files
// and the contact itself go into the database of the [Database] Url= setting (or the
// collector's --database), on a thread of its own, so neither the window nor the line ever
// waits for it. The files are written as always whatever the database does. A file and the
// contact are marked as pending (in small lists in the per-user data folder) before they are
// sent and unmarked once they are in; a database that cannot be reached leaves the marks,
// says so once, and what is marked follows at the next contact that reaches it (or at the
// next start of collecting, also after the program was ended in between).
namespace varnel {

enum class DatabaseEvent {
  Unreachable,  // detail: why (said once until the database is reached again)
  CaughtUp,     // detail: the number of files whose rows followed late
  FileRefused,  // detail: a data file that cannot be read, and why (it is not tried again)
  BadUrl,       // detail: why the URL cannot be used (said once per URL)
  Refused,      // detail: a file or contact the database refused, and why (said once; tried
                // again at the next rounds, a few times)
  StillWriting, // not sent by the sink: its owner says it when Stop() found it still busy
};

class DatabaseSink : public ContactService {
 public:
  // `local`: the per-PC history, which gets every contact first (may be null). `url` is
  // asked at each contact (empty: no database). `report` is called on the thread that made
  // the sink, through its event loop.
  DatabaseSink(ContactService* local, std::function<QString()> url,
               std::function<void(DatabaseEvent, const std::string&)> report,
               QString pendingList = {});
  // Stops as Stop(15000); a thread still busy after that is left to end alone.
  ~DatabaseSink() override;
  DatabaseSink(const DatabaseSink&) = delete;
  DatabaseSink& operator=(const DatabaseSink&) = delete;

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
  struct Shared;
  void Queue(const QString& url);

  ContactService* local_;
  std::function<QString()> url_;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  bool stopTried_ = false;
};

}  // namespace varnel
