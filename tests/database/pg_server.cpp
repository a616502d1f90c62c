#include "pg_server.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace varnel::test {

namespace {

// The folder of initdb and pg_ctl: $VARNEL_PG_BIN, else the newest Debian server.
std::string FindServerPrograms() {
  if (const char* env = std::getenv("VARNEL_PG_BIN"); env && *env) return env;
  std::string best;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
    const std::string bin = e.path().string() + "/bin";
    if (std::filesystem::exists(bin + "/pg_ctl") && bin > best) best = bin;
  }
  return best;
}

}  // namespace

PgServer::~PgServer() {
  if (running_) Run("'" + bin_ + "/pg_ctl' -D data -m immediate -w stop >/dev/null 2>&1");
  if (!dir_.isEmpty() && !std::getenv("VARNEL_KEEP_TEST_FILES")) QDir(dir_).removeRecursively();
}

int PgServer::Run(const std::string& command) const {
  // The server's own folder as the working folder: the user "nobody" may not enter ours.
  const std::string dir = dir_.toStdString();
  const std::string as = asNobody_ ? "runuser -u nobody -- " : "";
  const std::string line = "cd '" + dir + "' && " + as + "sh -c \"" + command + "\"";
  return std::system(line.c_str());
}

bool PgServer::Start(std::string* why, bool* missing) {
  bin_ = FindServerPrograms();
  if (bin_.empty()) {
    if (missing) *missing = true;
    *why = "no PostgreSQL server programs (Debian package postgresql) in /usr/lib/postgresql";
    return false;
  }
  char name[] = "/tmp/varnel-pg-XXXXXX";  // short: a socket path has at most 107 bytes
  if (!::mkdtemp(name)) {
    *why = "cannot make a temporary folder";
    return false;
  }
  dir_ = QString::fromLocal8Bit(name);
  asNobody_ = ::geteuid() == 0;
  if (asNobody_) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || ::chown(name, nobody->pw_uid, nobody->pw_gid) != 0) {
      *why = "cannot hand the server's folder to the user nobody";
      return false;
    }
  }
  if (Run("'" + bin_ + "/initdb' -D data -U varnel -A trust -E UTF8 --locale=C --no-sync "
          ">init.log 2>&1") != 0) {
    *why = "initdb failed (see " + dir_.toStdString() + "/init.log)";
    return false;
  }
  // Only the socket in this folder; no TCP. A scratch server: nothing waits for the disk.
  QFile conf(dir_ + "/data/postgresql.conf");
  if (!conf.open(QIODevice::Append)) {
    *why = "cannot write postgresql.conf";
    return false;
  }
  conf.write(("\nlisten_addresses = ''\nunix_socket_directories = '" + dir_.toStdString() +
              "'\nfsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
              "max_connections = 50\nshared_buffers = 32MB\n")
                 .c_str());
  conf.close();
  if (!Resume()) {
    *why = "the server did not start (see " + dir_.toStdString() + "/server.log)";
    return false;
  }
  return true;
}

bool PgServer::Resume() {
  running_ = Run("'" + bin_ + "/pg_ctl' -D data -l server.log -w -t 30 start >/dev/null") == 0;
  return running_;
}

bool PgServer::Stop() {
  const bool ok = Run("'" + bin_ + "/pg_ctl' -D data -m immediate -w stop >/dev/null") == 0;
  if (ok) running_ = false;
  return ok;
}

QString PgServer::NewDatabase(const std::string& name, std::string* why) {
  const QString connection = QUuid::createUuid().toString();
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(dir_);
    db.setUserName(QStringLiteral("varnel"));
    db.setDatabaseName(QStringLiteral("postgres"));
    if (!db.open()) {
      *why = db.lastError().text().toStdString();
    } else {
      QSqlQuery q(db);
      ok = q.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(QString::fromStdString(name)));
      if (!ok) *why = q.lastError().text().toStdString();
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(connection);
  if (!ok) return {};
  return QStringLiteral("postgresql://varnel@/%1?host=%2")
      .arg(QString::fromStdString(name), dir_);
}

PgServer* SharedPgServer(std::string* why, bool* missing) {
  static std::unique_ptr<PgServer> server;
  static std::string failure;
  static bool notInstalled = false;
  static bool tried = false;
  if (!tried) {
    tried = true;
    auto s = std::make_unique<PgServer>();
    if (s->Start(&failure, &notInstalled)) {
      server = std::move(s);
      // Stopped with the program, after the tests.
      std::atexit([] { server.reset(); });
    }
  }
  if (!server) {
    if (why) *why = failure;
    if (missing) *missing = notInstalled;
  }
  return server.get();
}

}  // namespace varnel::test
