#include "database/database_sink.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "common/locations.h"
#include "database/contact_store.h"
#include "database/database_url.h"
#include "database/measurement_store.h"

namespace varnel {

namespace {
// Rounds a file or contact that the database refuses is tried in, before its mark goes.
constexpr int kRefusedRounds = 3;
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
  QString PendingList;
  QString PendingContacts;

  // Hands an event to the owner's thread (dropped when the sink has gone).
  void Tell(DatabaseEvent event, const std::string& detail) {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!Owner || !Report) return;
    QMetaObject::invokeMethod(
        Owner, [report = Report, event, detail] { report(event, detail); },
        Qt::QueuedConnection);
  }
};

DatabaseSink::DatabaseSink(ContactService* local, std::function<QString()> url,
                           std::function<void(DatabaseEvent, const std::string&)> report,
                           QString pendingList)
    : local_(local), url_(std::move(url)), shared_(std::make_shared<Shared>()) {
  shared_->Owner = new QObject();  // lives on this thread; deleted with the sink
  shared_->Report = std::move(report);
  shared_->PendingList = pendingList.isEmpty() ? DefaultPendingListPath() : pendingList;

  shared_->PendingContacts = PendingContactsPath(shared_->PendingList);
  // Marks left by an earlier run (read before this run adds its own): their catching up is
  // said like after a database that was away.
  const bool marked = !ReadPendingContacts(shared_->PendingContacts).isEmpty() ||
                      !ReadPendingFiles(shared_->PendingList).isEmpty();

  worker_ = std::thread([s = shared_, backlog = marked]() mutable {
    QString currentUrl;
    std::unique_ptr<MeasurementStore> measurements;
    std::unique_ptr<ContactStore> contacts;
    bool down = false;
    QString badUrl;
    // Rounds in which a file or contact was refused (by its path or its line).
    std::map<QString, int> refusals;
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
      if (job.Url != currentUrl) {
        measurements.reset();
        contacts.reset();
        currentUrl = job.Url;
        std::string why;
        if (const auto target = ParseDatabaseUrl(job.Url, &why)) {
          measurements = std::make_unique<MeasurementStore>(*target);
          contacts = std::make_unique<ContactStore>(*target, true);
        } else if (badUrl != job.Url) {
          badUrl = job.Url;
          s->Tell(DatabaseEvent::BadUrl, why);
        }
      }
      if (!measurements) continue;  // the marks stay for a usable URL

      // A statement that fails may be the server gone, or the database refusing this one
      // file or contact (a broken table, a constraint): the first stops the round, the
      // second must not hold up the rest. The store closed itself; opening it again tells.
      std::string failure;
      const auto refused = [&](const QString& what, const std::string& error,
                               const std::function<std::string()>& reopen) {
        if (const std::string e = reopen(); !e.empty()) {
          failure = e;
          return false;
        }
        if (++refusals[what] == 1) s->Tell(DatabaseEvent::Refused, error);
        return refusals[what] >= kRefusedRounds;  // given up: its mark goes
      };
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
        } else if (error.empty()) {
          done << path;
          ++late;
        } else if (refused(path, path.toStdString() + ": " + error,
                           [&] { return measurements->Open(); })) {
          done << path;
        } else if (!failure.empty()) {
          break;
        }
      }
      RemovePendingFiles(s->PendingList, done);
      done.clear();
      if (failure.empty()) {
        for (const QString& line : ReadPendingContacts(s->PendingContacts)) {
          const auto contact = ParseContactLine(line);
          const std::string error = contact ? contacts->Add(*contact) : std::string();
          if (error.empty()) {
            done << line;
          } else if (refused(line,
                             "contact with " + std::to_string(contact->SerialNumber) + ": " + error,
                             [&] { return contacts->Open(); })) {
            done << line;
          } else if (!failure.empty()) {
            break;
          }
        }
        RemovePendingContacts(s->PendingContacts, done);
      }
      if (!failure.empty()) {
        if (!down) s->Tell(DatabaseEvent::Unreachable, failure);
        down = true;
      } else if (down || backlog) {
        down = backlog = false;
        s->Tell(DatabaseEvent::CaughtUp, std::to_string(late));
      }
    }
    measurements.reset();
    contacts.reset();
    std::lock_guard<std::mutex> lock(s->Mutex);
    s->Ended = true;
    s->Idle.notify_all();
  });
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

std::string DatabaseSink::ContactEnded(const ContactFigures& contact) {
  const std::string localError = local_ ? local_->ContactEnded(contact) : std::string();
  const QString url = url_ ? url_() : QString();
  if (url.isEmpty()) return localError;
  // Marked before anything is sent: a program that ends before they are in leaves the
  // marks, and the next contact (or start) sends them.
  QStringList files;
  for (const std::string& f : contact.Files) files << QString::fromStdString(f);
  AddPendingFiles(shared_->PendingList, files);
  AddPendingContact(shared_->PendingContacts, contact);
  Queue(url);
  return localError;
}

void DatabaseSink::CollectingStarted() {
  const QString url = url_ ? url_() : QString();
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
