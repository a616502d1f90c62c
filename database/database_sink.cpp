#include "database/database_sink.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "common/locations.h"
#include "database/contact_store.h"
#include "database/database_url.h"
#include "database/measurement_store.h"
#include "database/pending_lists.h"
#include "database/sql_connection.h"

namespace varnel {

namespace {

using Clock = std::chrono::steady_clock;

// After a round that could not reach the database, the next comes by itself after this
// pause, doubled each time up to the longest; a contact or a start of collecting brings it
// forward.
constexpr std::chrono::seconds kFirstRetry{30};
constexpr std::chrono::seconds kLongestRetry{15 * 60};

// The lists of the version before the outbox, in the per-user data folder: what they still
// hold goes into the outbox of the first database this program reaches.
void TakeOverOldLists(Outbox& outbox) {
  const QString files = DefaultPendingListPath();
  const QString contacts = PendingContactsPath(files);
  for (const QString& path : ReadPendingFiles(files)) outbox.AddFile(path);
  for (const QString& line : ReadPendingContacts(contacts)) {
    if (const auto c = ParseContactLine(line)) outbox.EndContact(0, *c);
  }
  QFile::remove(files);
  QFile::remove(contacts);
}

}  // namespace

struct DatabaseSink::Shared {
  struct Job {
    QString Url;
  };
  std::mutex Mutex;
  std::condition_variable Wake;  // a job came, or the end
  std::condition_variable Idle;  // the queue ran empty
  std::deque<Job> Queue;
  bool Busy = false;
  bool Stop = false;
  bool Ended = false;
  QObject* Owner = nullptr;  // cleared when the sink goes
  std::function<void(DatabaseEvent, const std::string&)> Report;
  QString Folder;
  QString MarkOutbox;  // where a committed file is marked (the URL of the last contact)
  std::set<std::string> Committed;  // files marked as they were committed, until their contact ends
  // Marks of committed files, written on the sink's own marker thread: Qt's SQL must not run
  // on a file worker's thread, whose end Qt would then have to clean up after, perhaps when
  // the program is already going.
  struct Mark {
    QString Outbox;
    std::string Path;
  };
  std::deque<Mark> Marks;
  std::condition_variable MarkWake, MarkDone;
  std::uint64_t MarksQueued = 0, MarksDone = 0;
  bool MarkStop = false;
  bool Backlog = false;  // the outbox held something when the sink was made

  // Hands an event to the owner's thread (dropped when the sink has gone).
  void Tell(DatabaseEvent event, const std::string& detail) {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!Owner || !Report) return;
    QMetaObject::invokeMethod(
        Owner, [report = Report, event, detail] { report(event, detail); },
        Qt::QueuedConnection);
  }
};

namespace {

// The marker thread: puts each committed file into its outbox, in the order committed.
void MarkFiles(const std::shared_ptr<DatabaseSink::Shared>& s) {
  std::unique_lock<std::mutex> lock(s->Mutex);
  for (;;) {
    s->MarkWake.wait(lock, [&] { return s->MarkStop || !s->Marks.empty(); });
    if (s->Marks.empty()) return;
    const DatabaseSink::Shared::Mark mark = std::move(s->Marks.front());
    s->Marks.pop_front();
    lock.unlock();
    const std::string error = Outbox(mark.Outbox).AddFile(QString::fromStdString(mark.Path));
    // Not marked: tried again at the contact's end.
    if (!error.empty()) s->Tell(DatabaseEvent::OutboxFailed, error);
    lock.lock();
    if (error.empty()) s->Committed.insert(mark.Path);
    ++s->MarksDone;
    s->MarkDone.notify_all();
  }
}

}  // namespace

// The database thread: each round sends what the outbox of the round's URL holds.
class SinkRounds {
 public:
  explicit SinkRounds(std::shared_ptr<DatabaseSink::Shared> s) : s_(std::move(s)) {}

  void Run() {
    QString url;
    auto retry = Clock::time_point::max();
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(s_->Mutex);
        s_->Busy = false;
        s_->Idle.notify_all();
        const auto woken = [&] { return s_->Stop || !s_->Queue.empty(); };
        if (retry == Clock::time_point::max()) {
          s_->Wake.wait(lock, woken);
        } else {
          s_->Wake.wait_until(lock, retry, woken);
        }
        if (s_->Stop && s_->Queue.empty()) break;
        if (!s_->Queue.empty()) {
          url = std::move(s_->Queue.front().Url);
          s_->Queue.pop_front();
        }
        s_->Busy = true;
      }
      retry = Clock::time_point::max();
      if (!Target(url)) continue;  // the marks stay for a usable URL
      if (!Round()) {
        retry = Clock::now() + pause_;
        pause_ = std::min(pause_ * 2, kLongestRetry);
      } else {
        pause_ = kFirstRetry;
      }
    }
    measurements_.reset();
    contacts_.reset();
    std::lock_guard<std::mutex> lock(s_->Mutex);
    s_->Ended = true;
    s_->Idle.notify_all();
  }

 private:
  // Makes the stores of `url` when it changed; false when it cannot be used.
  bool Target(const QString& url) {
    if (url == url_) return measurements_ != nullptr;
    url_ = url;
    measurements_.reset();
    contacts_.reset();
    std::string why;
    const auto target = ParseDatabaseUrl(url, &why);
    if (!target) {
      if (badUrl_ != url) s_->Tell(DatabaseEvent::BadUrl, why);
      badUrl_ = url;
      return false;
    }
    measurements_ = std::make_unique<MeasurementStore>(*target);
    contacts_ = std::make_unique<ContactStore>(*target, true);
    outbox_ = std::make_unique<Outbox>(Outbox::PathFor(*target, s_->Folder));
    if (!tookOver_ && s_->Folder.isEmpty()) {
      tookOver_ = true;
      TakeOverOldLists(*outbox_);
    }
    return true;
  }

  // One pass over what is due. False when the database could not be reached.
  bool Round() {
    outbox_->ReleaseOrphans();
    std::string error;
    const std::vector<OutboxEntry> due = outbox_->Due(&error);
    if (!error.empty()) {
      s_->Tell(DatabaseEvent::OutboxFailed, error);
      return false;
    }
    std::vector<std::int64_t> done;
    std::string failure;
    int late = 0;
    for (const OutboxEntry& entry : due) {
      std::string why;
      if (entry.Kind == OutboxKind::File) {
        if (!QFileInfo::exists(entry.Item)) {
          done.push_back(entry.Id);  // moved or deleted since: nothing left to send
          continue;
        }
        FileExport result;
        bool unreadable = false;
        why = measurements_->AddFile(entry.Item, &result, &unreadable);
        if (unreadable) {
          s_->Tell(DatabaseEvent::FileRefused, why);
          done.push_back(entry.Id);
          continue;
        }
        if (why.empty()) ++late;
      } else if (const auto contact = ParseContactLine(entry.Item)) {
        why = contacts_->Add(*contact);
      }  // a line that is no contact is dropped
      if (why.empty()) {
        done.push_back(entry.Id);
        continue;
      }
      const std::string what =
          entry.Kind == OutboxKind::File
              ? entry.Item.toStdString()
              : "contact of " + std::to_string(ParseContactLine(entry.Item)->SerialNumber);
      const SqlFailure kind = FailureOf(why);
      if (kind == SqlFailure::Refused) {
        const std::string aside = outbox_->SetAside(entry, why);
        s_->Tell(aside.empty() ? DatabaseEvent::RefusedSetAside : DatabaseEvent::OutboxFailed,
                 aside.empty() ? what + ": " + why + " -> " +
                                     outbox_->RefusedListPath().toStdString()
                               : aside);
        continue;
      }
      outbox_->CountAttempt(entry.Id, why);
      failure = why;
      failureKind_ = kind;
      break;  // the rest waits for the next round
    }
    outbox_->Remove(done);
    if (!failure.empty()) {
      if (!down_) {
        s_->Tell(failureKind_ == SqlFailure::NotAnswering ? DatabaseEvent::NotAnswering
                                                           : DatabaseEvent::Unreachable,
                 failure);
      }
      down_ = true;
      return false;
    }
    if (down_ || backlog_) s_->Tell(DatabaseEvent::CaughtUp, std::to_string(late));
    down_ = backlog_ = false;
    return true;
  }

  std::shared_ptr<DatabaseSink::Shared> s_;
  QString url_, badUrl_;
  std::unique_ptr<MeasurementStore> measurements_;
  std::unique_ptr<ContactStore> contacts_;
  std::unique_ptr<Outbox> outbox_;
  bool tookOver_ = false;
  bool down_ = false;
  // What an earlier run left is said like after a database that was away.
  bool backlog_ = s_->Backlog;
  SqlFailure failureKind_ = SqlFailure::Unreachable;
  std::chrono::seconds pause_ = kFirstRetry;
};

DatabaseSink::DatabaseSink(ContactService* local, std::function<QString()> url,
                           std::function<void(DatabaseEvent, const std::string&)> report,
                           QString outboxFolder)
    : local_(local), url_(std::move(url)), folder_(std::move(outboxFolder)),
      shared_(std::make_shared<Shared>()) {
  shared_->Owner = new QObject();  // lives on this thread; deleted with the sink
  shared_->Report = std::move(report);
  shared_->Folder = folder_;
  QString urlNow;
  const QString outbox = OutboxNow(&urlNow);
  const bool oldLists = folder_.isEmpty() &&
                        (QFile::exists(DefaultPendingListPath()) ||
                         QFile::exists(PendingContactsPath(DefaultPendingListPath())));
  shared_->Backlog =
      oldLists || (!outbox.isEmpty() && QFile::exists(outbox) && Outbox(outbox).Waiting() > 0);
  worker_ = std::thread([s = shared_] { SinkRounds(s).Run(); });
  marker_ = std::thread([s = shared_] { MarkFiles(s); });
}

DatabaseSink::~DatabaseSink() {
  // A server that does not answer costs at most its connect timeout per attempt. A thread
  // still inside a write after that cannot be waited for without end: the owner that
  // called Stop() has said so in its log, and the thread ends alone.
  if (!Stop(stopTried_ ? 0 : 15000) && worker_.joinable()) worker_.detach();
  QObject* owner = nullptr;
  {
    std::lock_guard<std::mutex> lock(shared_->Mutex);
    owner = shared_->Owner;
    shared_->Owner = nullptr;
  }
  delete owner;
}

bool DatabaseSink::Stop(int ms) {
  stopTried_ = true;
  {
    std::lock_guard<std::mutex> lock(shared_->Mutex);
    shared_->MarkStop = true;
    shared_->MarkWake.notify_all();
  }
  if (marker_.joinable()) marker_.join();  // what was committed is marked first
  {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    shared_->Stop = true;
    shared_->Wake.notify_all();
    if (!shared_->Idle.wait_for(lock, std::chrono::milliseconds(ms),
                                [this] { return shared_->Ended; })) {
      return false;
    }
  }
  if (worker_.joinable()) worker_.join();
  return true;
}

QString DatabaseSink::OutboxNow(QString* url) {
  *url = url_ ? url_() : QString();
  QString path;
  if (!url->isEmpty()) {
    if (const auto target = ParseDatabaseUrl(*url, nullptr)) {
      path = Outbox::PathFor(*target, folder_);
    }
  }
  std::lock_guard<std::mutex> lock(shared_->Mutex);
  shared_->MarkOutbox = path;
  return path;
}

void DatabaseSink::ContactOpened(const ContactFigures& contact) {
  if (local_) local_->ContactOpened(contact);
  QString url;
  const QString path = OutboxNow(&url);
  if (path.isEmpty()) return;
  std::int64_t id = 0;
  if (const std::string error = Outbox(path).OpenContact(contact, &id); !error.empty()) {
    shared_->Tell(DatabaseEvent::OutboxFailed, error);
    return;
  }
  openContacts_[contact.Number] = id;
}

void DatabaseSink::FileCommitted(const std::string& path) {
  if (local_) local_->FileCommitted(path);
  std::unique_lock<std::mutex> lock(shared_->Mutex);
  // Without a database at the contact's start it is marked at the contact's end, if one is
  // set by then.
  if (shared_->MarkOutbox.isEmpty() || shared_->MarkStop) return;
  shared_->Marks.push_back({shared_->MarkOutbox, path});
  const std::uint64_t ticket = ++shared_->MarksQueued;
  shared_->MarkWake.notify_all();
  // The worker goes on once its file is marked; a disk that hangs holds it at most this long.
  shared_->MarkDone.wait_for(lock, std::chrono::seconds(10),
                             [&] { return shared_->MarksDone >= ticket; });
}

std::string DatabaseSink::ContactEnded(const ContactFigures& contact) {
  const std::string localError = local_ ? local_->ContactEnded(contact) : std::string();
  std::int64_t id = 0;
  if (const auto it = openContacts_.find(contact.Number); it != openContacts_.end()) {
    id = it->second;
    openContacts_.erase(it);
  }
  QString url;
  const QString path = OutboxNow(&url);
  if (path.isEmpty()) {
    if (!url.isEmpty()) Queue(url);  // says once why the URL cannot be used
    return localError;
  }
  // Files are marked as they are committed; one that was not (no database set then, or an
  // outbox that could not be written) is marked now.
  Outbox outbox(path);
  std::string error;
  for (const std::string& f : contact.Files) {
    {
      std::lock_guard<std::mutex> lock(shared_->Mutex);
      if (shared_->Committed.erase(f) > 0) continue;
    }
    if (error.empty()) error = outbox.AddFile(QString::fromStdString(f));
  }
  if (error.empty()) error = outbox.EndContact(id, contact);
  Queue(url);
  if (error.empty()) return localError;
  return localError.empty() ? error : localError + "; " + error;
}

void DatabaseSink::CollectingStarted() {
  QString url;
  OutboxNow(&url);
  if (!url.isEmpty()) Queue(url);
}

void DatabaseSink::Queue(const QString& url) {
  std::lock_guard<std::mutex> lock(shared_->Mutex);
  if (shared_->Stop) return;
  shared_->Queue.push_back({url});
  shared_->Busy = true;
  shared_->Wake.notify_all();
}

bool DatabaseSink::WaitIdle(int ms) {
  std::unique_lock<std::mutex> lock(shared_->Mutex);
  return shared_->Idle.wait_for(lock, std::chrono::milliseconds(ms), [this] {
    return shared_->Ended || (!shared_->Busy && shared_->Queue.empty());
  });
}

}  // namespace varnel
