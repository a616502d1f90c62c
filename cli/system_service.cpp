#include "cli/system_service.h"

#include <QDir>
#include <QFile>

#include "common/locations.h"

namespace varnel::cli {

ServiceAction TakeServiceAction(std::vector<std::string>& args, std::string& error) {
  ServiceAction action = ServiceAction::None;
  std::vector<std::string> rest;
  for (const std::string& a : args) {
    ServiceAction found = ServiceAction::None;
    if (a == "--install-service") found = ServiceAction::Install;
    if (a == "--remove-service") found = ServiceAction::Remove;
    if (a == "--service") found = ServiceAction::Run;
    if (found == ServiceAction::None) {
      rest.push_back(a);
      continue;
    }
    if (action != ServiceAction::None && error.empty()) {
      error = "give one of --install-service, --remove-service and --service";
    }
    action = found;
  }
  args = std::move(rest);
  return action;
}

std::string CheckServiceOptions(ServiceAction action, const CollectOptions& o) {
  if (action == ServiceAction::None) return "";
  if (o.port == 0 && action != ServiceAction::Remove) return "a service serves one port: give --port N";
  if (o.calls > 0 || o.direct || o.debug || o.timeoutSeconds > 0 || o.status || o.help) {
    return "a service takes only --port, --data and --database";
  }
  if (action == ServiceAction::Remove && (!o.dataDir.empty() || !o.database.empty())) {
    return "--remove-service takes only --port";
  }
  return "";
}

std::string ServiceName(int port) { return "VarnelCollectCOM" + std::to_string(port); }

QString ServiceLogPath(int port) {
  const QString folder = UserDataFolder();
  QDir().mkpath(folder);
  return folder + QStringLiteral("/varnel-collect-COM%1.LOG").arg(port);
}

QString ServiceOutputPath(int port) {
  const QString folder = UserDataFolder();
  QDir().mkpath(folder);
  return folder + QStringLiteral("/varnel-collect-COM%1-output.txt").arg(port);
}

std::FILE* OpenServiceOutput(int port) {
  const QString path = ServiceOutputPath(port);
#ifdef _WIN32
  std::FILE* f = _wfopen(path.toStdWString().c_str(), L"w");
#else
  std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
#endif
  return f ? f : stdout;
}

std::string ServiceHelpText() {
  return R"(
As a Windows service (from an administrator's command prompt):
  --install-service --port N [--data DIR] [--database URL]
                registers the service VarnelCollectCOM<N> ("Varnel collector on COMN"),
                started with Windows as LocalSystem and restarted 15 s after a failure; its
                data folder is DIR, else %ProgramData%\Varnel\COM<N>; with --database its
                database is URL (keep a password out of it: the client library's
                %APPDATA%\postgresql\pgpass.conf of the service's account holds it)
  --remove-service [--port N]
                stops the service of COM N (as releasing Start) and removes it; without
                --port, every collector service (the uninstaller does this)
A stopped service releases Start: the pages read so far become files and the settings are
stored; Windows' shutdown waits for that, and for the last rows of the database, as for a stop. Its log varnel-collect-COM<N>.LOG, its state file and what it printed in its latest
run (varnel-collect-COM<N>-output.txt) lie in %LOCALAPPDATA%\Varnel of its account. Exit status 6: the service manager refused (reason printed).
)";
}

}  // namespace varnel::cli
