#pragma once
#include <QString>
#include <string>

// A PostgreSQL server of the test's own: initdb and pg_ctl in a temporary folder, reached
// through a Unix socket in that folder only (no TCP port), with the settings of a scratch
// server (no fsync). The server refuses to run as root, so when the tests run as root (CI)
// its folder belongs to the user "nobody" and every server command runs as that user
// (runuser). One server serves all the tests of a program: SharedPgServer() starts it at
// its first use and stops it when the program ends.
namespace varnel::test {

class PgServer {
 public:
  PgServer() = default;
  ~PgServer();
  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

  // Makes the cluster and starts it; false with *why when that failed. *missing: the
  // server programs are not installed (the caller may skip).
  bool Start(std::string* why, bool* missing = nullptr);
  // Stops the server at once (as a crash or an administrator would) and starts it again
  // with the same data.
  bool Stop();
  bool Resume();
  bool Running() const { return running_; }

  // A new, empty database on the server; its URL, empty on failure (with *why).
  QString NewDatabase(const std::string& name, std::string* why);
  const QString& SocketFolder() const { return dir_; }

 private:
  int Run(const std::string& command) const;
  QString dir_;
  std::string bin_;
  bool asNobody_ = false;
  bool running_ = false;
};

// The server shared by the tests of this program, started at the first call; empty with
// *why when it cannot run here, *missing when PostgreSQL is not installed.
PgServer* SharedPgServer(std::string* why, bool* missing);

}  // namespace varnel::test
