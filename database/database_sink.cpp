#include "database/database_sink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMetaObject>
#include <QObject>
#include <QSaveFile>
#include <QSet>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "app/program_log.h"
#include "database/database_url.h"
#include "database/measurement_store.h"
#include "history/history_store.h"

namespace varnel {

QString DefaultPendingListPath() {
  return UserDataFolder() + QStringLiteral("/database-pending.txt");
}

namespace {

// Several collectors of one user share the list: each change holds the lock for a moment.
class ListLock {
 public:
  explicit ListLock(const QString& list) : lock_(list + QStringLiteral(".lock")) {
    QDir().mkpath(QFileInfo(list).absolutePath());
    lock_.setStaleLockTime(30000);
    locked_ = lock_.tryLock(2000);
  }
  bool Locked() const { return locked_; }

 private:
  QLockFile lock_;
  bool locked_ = false;
};

QStringList ReadList(const QString& list) {
  QFile f(list);
  QStringList files;
  if (!f.open(QIODevice::ReadOnly)) return files;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QString path = QString::fromUtf8(line).trimmed();
    if (!path.isEmpty() && !files.contains(path)) files << path;
  }
  return files;
}

bool WriteList(const QString& list, const QStringList& files) {
  if (files.isEmpty()) return !QFile::exists(list) || QFile::remove(list);
  QSaveFile f(list);
  if (!f.open(QIODevice::WriteOnly)) return false;
  for (const QString& path : files) f.write(path.toUtf8() + '\n');
  return f.commit();
}

}  // namespace

QStringList ReadPendingFiles(const QString& list) {
  ListLock lock(list);
  return ReadList(list);
}

bool AddPendingFiles(const QString& list, const QStringList& files) {
  if (files.isEmpty()) return true;
  ListLock lock(list);
  if (!lock.Locked()) return false;
  QStringList all = ReadList(list);
  for (const QString& f : files) {
    if (!all.contains(f)) all << f;
  }
  return WriteList(list, all);
}

bool RemovePendingFiles(const QString& list, const QStringList& files) {
  if (files.isEmpty()) return true;
  ListLock lock(list);
  if (!lock.Locked()) return false;
  QStringList all = ReadList(list);
  const QSet<QString> done(files.begin(), files.end());
  all.removeIf([&done](const QString& f) { return done.contains(f); });
  return WriteList(list, all);
}

struct DatabaseSink::Shared {
  struct Job {
    QString Url;
    std::optional<ContactFigures> Contact;
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
  QString PendingList;

  // Hands an event to the owner's thread (dropped when the sink has gone).
  void Tell(DatabaseEvent event, const std::string& detail) {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!Owner || !Report) return;
    QMetaObject::invokeMethod(
        Owner, [report = Report, event, detail] { report(event, detail); },
        Qt::QueuedConnection);
  }
};

DatabaseSink::DatabaseSink(ContactSink* local, std::function<QString()> url,
                           std::function<void(DatabaseEvent, const std::string&)> report,
                           QString pendingList)
    : local_(local), url_(std::move(url)), shared_(std::make_shared<Shared>()) {
  shared_->Owner = new QObject();  // lives on this thread; deleted with the sink
  shared_->Report = std::move(report);
  shared_->PendingList = pendingList.isEmpty() ? DefaultPendingListPath() : pendingList;

  std::thread([s = shared_] {
    QString currentUrl;
    std::unique_ptr<MeasurementStore> measurements;
    std::unique_ptr<HistoryStore> contacts;
    std::deque<ContactFigures> heldContacts;  // not yet in the database
    bool down = false;
    QString badUrl;
    for (;;) {
      Shared::Job job;
      {
        std::unique_lock<std::mutex> lock(s->Mutex);
        s->Busy = false;
        s->Idle.notify_all();
        s->Wake.wait(lock, [&] { return s->Stop || !s->Queue.empty(); });
        if (s->Queue.empty()) break;
        job = std::move(s->Queue.front());
        s->Queue.pop_front();
        s->Busy = true;
      }
      if (job.Contact) heldContacts.push_back(std::move(*job.Contact));
      if (job.Url != currentUrl) {
        measurements.reset();
        contacts.reset();
        currentUrl = job.Url;
        std::string why;
        if (const auto target = ParseDatabaseUrl(job.Url, &why)) {
          measurements = std::make_unique<MeasurementStore>(*target);
          contacts = std::make_unique<HistoryStore>(*target);
        } else if (badUrl != job.Url) {
          badUrl = job.Url;
          s->Tell(DatabaseEvent::BadUrl, why);
        }
      }
      if (!measurements) {
        heldContacts.clear();  // the marks of their files stay for a usable URL
        continue;
      }
      std::string failure;
      QStringList done;
      int late = 0;
      for (const QString& path : ReadPendingFiles(s->PendingList)) {
        if (!QFileInfo::exists(path)) {
          done << path;  // moved or deleted since: nothing left to send
          continue;
        }
        FileExport result;
        bool unreadable = false;
        const std::string error = measurements->AddFile(path, &result, &unreadable);
        if (unreadable) {
          s->Tell(DatabaseEvent::FileRefused, error);
          done << path;
        } else if (!error.empty()) {
          failure = error;
          break;
        } else {
          done << path;
          ++late;
        }
      }
      RemovePendingFiles(s->PendingList, done);
      while (failure.empty() && !heldContacts.empty()) {
        failure = contacts->Add(heldContacts.front());
        if (failure.empty()) heldContacts.pop_front();
      }
      if (!failure.empty()) {
        if (!down) s->Tell(DatabaseEvent::Unreachable, failure);
        down = true;
      } else if (down) {
        down = false;
        s->Tell(DatabaseEvent::CaughtUp, std::to_string(late));
      }
    }
    measurements.reset();
    contacts.reset();
    std::lock_guard<std::mutex> lock(s->Mutex);
    s->Ended = true;
    s->Idle.notify_all();
  }).detach();
}

DatabaseSink::~DatabaseSink() {
  QObject* owner = nullptr;
  {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    shared_->Stop = true;
    shared_->Wake.notify_all();
    // A server that does not answer costs at most its connect timeout per attempt.
    shared_->Idle.wait_for(lock, std::chrono::seconds(15), [this] { return shared_->Ended; });
    owner = shared_->Owner;
    shared_->Owner = nullptr;
  }
  delete owner;
}

std::string DatabaseSink::ContactEnded(const ContactFigures& contact) {
  const std::string localError = local_ ? local_->ContactEnded(contact) : std::string();
  const QString url = url_ ? url_() : QString();
  if (url.isEmpty()) return localError;
  // Marked before anything is sent: a program that ends before the rows are in leaves the
  // mark, and the next contact sends them.
  QStringList files;
  for (const std::string& f : contact.Files) files << QString::fromStdString(f);
  AddPendingFiles(shared_->PendingList, files);
  {
    std::lock_guard<std::mutex> lock(shared_->Mutex);
    shared_->Queue.push_back({url, contact});
    shared_->Busy = true;
    shared_->Wake.notify_all();
  }
  return localError;
}

bool DatabaseSink::WaitIdle(int ms) {
  std::unique_lock<std::mutex> lock(shared_->Mutex);
  return shared_->Idle.wait_for(lock, std::chrono::milliseconds(ms), [this] {
    return shared_->Ended || (!shared_->Busy && shared_->Queue.empty());
  });
}

}  // namespace varnel
