#include <windows.h>

#include <QDir>
#include <QString>
#include <cstdio>
#include <atomic>
#include <mutex>
#include <vector>

#include "cli/stop_requests.h"
#include "cli/system_service.h"
#include "database/database_url.h"

namespace varnel::cli {

namespace {

// A stop waits for the workers and the files of the pages read so far (up to 20 s) and then
// for the database's last rows (up to 15 s). The manager gives up on a service whose
// checkpoint stands still longer than its hint: while stopping, the checkpoint moves on
// every few seconds, and the hint covers a few of those.
constexpr DWORD kStopWaitHintMs = 15000;
constexpr DWORD kStopHeartbeatMs = 3000;
// Windows waits this long at its shutdown for a service that asked to be told beforehand
// (its default is 10 s for all of them together, too short for a call in progress).
constexpr DWORD kPreshutdownTimeoutMs = 45000;
constexpr DWORD kRestartDelayMs = 15000;

std::wstring Wide(const std::string& s) { return QString::fromStdString(s).toStdWString(); }

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  QString message = n > 0 && text ? QString::fromWCharArray(text, static_cast<int>(n))
                                  : QStringLiteral("error %1").arg(code);
  if (text) LocalFree(text);
  return message.trimmed().toStdString();
}

int Refused(const std::string& what, DWORD error) {
  std::fprintf(stderr, "varnel-collect: %s: %s", what.c_str(), SystemMessage(error).c_str());
  if (error == ERROR_ACCESS_DENIED) std::fprintf(stderr, " (run it as an administrator)");
  std::fprintf(stderr, "\n");
  return kExitServiceFailed;
}

struct ScHandle {
  SC_HANDLE h;
  explicit ScHandle(SC_HANDLE handle) : h(handle) {}
  ~ScHandle() {
    if (h) CloseServiceHandle(h);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
};

QString ProgramPath() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  return QString::fromWCharArray(path, static_cast<int>(n));
}

// The service's own data folder, as /var/lib/varnel/com<N>/data is on Linux: never the
// program folder, where the stored folder's fallback would put it.
QString DefaultServiceDataFolder(int port) {
  QString base = qEnvironmentVariable("ProgramData");
  if (base.isEmpty()) base = QStringLiteral("C:\\ProgramData");
  return QDir::toNativeSeparators(base + QStringLiteral("/Varnel/COM%1").arg(port));
}

// One argument of a command line as the C runtime reads it back: backslashes before the
// closing quote are doubled, or they would escape it ("C:\\" for the folder C:\).
QString Quoted(const QString& text) {
  qsizetype trailing = 0;
  while (trailing < text.size() && text[text.size() - 1 - trailing] == QLatin1Char('\\')) ++trailing;
  return QLatin1Char('"') + text + QString(trailing, QLatin1Char('\\')) + QLatin1Char('"');
}

// --- run by the service manager ------------------------------------------------------------

std::wstring g_name;
SERVICE_STATUS_HANDLE g_handle = nullptr;
std::mutex g_statusMutex;
DWORD g_checkPoint = 0;
HANDLE g_started = nullptr;   // ServiceMain registered its handler (or failed to)
HANDLE g_finished = nullptr;  // the collector's run is over
std::atomic<HANDLE> g_heartbeat{nullptr};  // moves the stop's checkpoint on until the end
bool g_stopReported = false;  // nothing is reported after SERVICE_STOPPED
int g_exitCode = 0;

void Report(DWORD state, int exitCode = 0, DWORD waitHint = 0) {
  std::lock_guard lock(g_statusMutex);
  if (!g_handle || g_stopReported) return;
  g_stopReported = state == SERVICE_STOPPED;
  SERVICE_STATUS s{};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  // Told before the shutdown, not at it: then there is still time to finish a call's files.
  s.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN : 0;
  s.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  s.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
  s.dwCheckPoint = state == SERVICE_STOP_PENDING ? ++g_checkPoint : 0;
  s.dwWaitHint = waitHint;
  SetServiceStatus(g_handle, &s);
}

// Says "still stopping" with a new checkpoint every few seconds until the run is over.
DWORD WINAPI StopHeartbeat(void*) {
  while (WaitForSingleObject(g_finished, kStopHeartbeatMs) == WAIT_TIMEOUT) {
    Report(SERVICE_STOP_PENDING, 0, kStopWaitHintMs);
  }
  return 0;
}

// Called on the dispatcher's thread.
DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING, 0, kStopWaitHintMs);
      if (!g_heartbeat) g_heartbeat = CreateThread(nullptr, 0, StopHeartbeat, nullptr, 0, nullptr);
      RequestStop();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  {
    std::lock_guard lock(g_statusMutex);
    g_handle = RegisterServiceCtrlHandlerExW(g_name.c_str(), OnControl, nullptr);
  }
  if (!g_handle) {
    SetEvent(g_started);
    return;
  }
  // Running from the start: the collector opens its port at once and says in its output
  // file why when it cannot; a run that ends is reported below with its exit status.
  Report(SERVICE_RUNNING);
  SetEvent(g_started);
  WaitForSingleObject(g_finished, INFINITE);
  Report(SERVICE_STOPPED, g_exitCode);
}

DWORD WINAPI Dispatch(void*) {
  SERVICE_TABLE_ENTRYW table[] = {{g_name.data(), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : GetLastError();
}

}  // namespace

int InstallService(const CollectOptions& options) {
  const int port = options.port;
  const QString data = options.dataDir.empty()
                           ? DefaultServiceDataFolder(port)
                           : QDir::toNativeSeparators(
                                 QDir(QString::fromStdString(options.dataDir)).absolutePath());
  QString commandLine = Quoted(QDir::toNativeSeparators(ProgramPath())) +
                        QStringLiteral(" --service --port %1 --data ").arg(port) + Quoted(data);
  if (!options.database.empty()) {
    commandLine += QStringLiteral(" --database ") + Quoted(QString::fromStdString(options.database));
  }
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager.h) return Refused("cannot open the service manager", GetLastError());
  const std::string name = ServiceName(port);
  const std::wstring display = Wide("Varnel collector on COM" + std::to_string(port));
  // LocalSystem, as services that own hardware usually run: it may open every COM port.
  ScHandle service(CreateServiceW(manager.h, Wide(name).c_str(), display.c_str(),
                                  SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                  commandLine.toStdWString().c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
  if (!service.h) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_EXISTS) {
      std::fprintf(stderr, "varnel-collect: %s is installed already (--remove-service first)\n",
                   name.c_str());
      return kExitServiceFailed;
    }
    return Refused("cannot install " + name, error);
  }
  std::wstring about = Wide("Answers the modem on COM" + std::to_string(port) +
                            " and collects the VTQ loggers that call in.");
  SERVICE_DESCRIPTIONW description{about.data()};
  ChangeServiceConfig2W(service.h, SERVICE_CONFIG_DESCRIPTION, &description);
  // Restarted after a failure (a port that could not be opened, a crash), not after a stop.
  SC_ACTION restart[3] = {{SC_ACTION_RESTART, kRestartDelayMs},
                          {SC_ACTION_RESTART, kRestartDelayMs},
                          {SC_ACTION_RESTART, kRestartDelayMs}};
  SERVICE_FAILURE_ACTIONSW failure{};
  failure.dwResetPeriod = 24 * 3600;
  failure.cActions = 3;
  failure.lpsaActions = restart;
  SERVICE_FAILURE_ACTIONS_FLAG onExitStatus{TRUE};
  // Never the password of a database URL on the screen.
  QString shown = commandLine;
  if (!options.database.empty()) {
    shown.replace(QString::fromStdString(options.database),
                  UrlForMessages(QString::fromStdString(options.database)));
  }
  std::printf("installed %s: %s\n", name.c_str(), shown.toStdString().c_str());
  SERVICE_PRESHUTDOWN_INFO preshutdown{kPreshutdownTimeoutMs};
  if (!ChangeServiceConfig2W(service.h, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown)) {
    std::printf("note: Windows' shutdown may not wait for the last call's files: %s\n",
                SystemMessage(GetLastError()).c_str());
  }
  if (!ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
    std::printf("note: the restart after a failure could not be set: %s\n",
                SystemMessage(GetLastError()).c_str());
  } else if (!ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onExitStatus)) {
    std::printf("note: the service restarts after a crash, not after an exit with a failure "
                "status: %s\n", SystemMessage(GetLastError()).c_str());
  }
  std::printf("start it with: sc start %s (or restart Windows)\n", name.c_str());
  return kExitDone;
}

namespace {

int RemoveOne(SC_HANDLE manager, const std::string& name) {
  ScHandle service(OpenServiceW(manager, Wide(name).c_str(),
                                SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service.h) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
      std::fprintf(stderr, "varnel-collect: no service %s is installed\n", name.c_str());
      return kExitServiceFailed;
    }
    return Refused("cannot open " + name, error);
  }
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.h, &status) && status.dwCurrentState != SERVICE_STOPPED) {
    // Stopped as releasing Start: the collector writes its files before it reports.
    if (status.dwCurrentState != SERVICE_STOP_PENDING) ControlService(service.h, SERVICE_CONTROL_STOP, &status);
    for (int waited = 0; waited < 60000 && status.dwCurrentState != SERVICE_STOPPED; waited += 250) {
      Sleep(250);
      if (!QueryServiceStatus(service.h, &status)) break;
    }
    std::printf("%s %s\n", name.c_str(),
                status.dwCurrentState == SERVICE_STOPPED ? "stopped" : "did not stop within 60 s");
  }
  if (!DeleteService(service.h)) return Refused("cannot remove " + name, GetLastError());
  std::printf("removed %s\n", name.c_str());
  return kExitDone;
}

// The names of every collector service installed, whatever its port.
std::vector<std::string> InstalledServices(SC_HANDLE manager) {
  std::vector<std::string> names;
  std::vector<BYTE> buffer(64 * 1024);
  DWORD needed = 0, count = 0, resume = 0;
  BOOL more = TRUE;
  while (more) {
    more = FALSE;
    if (!EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                               buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count,
                               &resume, nullptr)) {
      if (GetLastError() != ERROR_MORE_DATA) break;
      more = TRUE;
    }
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const std::string name = QString::fromWCharArray(entries[i].lpServiceName).toStdString();
      if (name.rfind("VarnelCollectCOM", 0) == 0) names.push_back(name);
    }
  }
  return names;
}

}  // namespace

int RemoveService(const CollectOptions& options) {
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager.h) return Refused("cannot open the service manager", GetLastError());
  if (options.port > 0) return RemoveOne(manager.h, ServiceName(options.port));
  // Without a port, every one (the uninstaller's way: no service may keep a removed program).
  int status = kExitDone;
  const auto names = InstalledServices(manager.h);
  for (const std::string& name : names) {
    if (RemoveOne(manager.h, name) != kExitDone) status = kExitServiceFailed;
  }
  if (names.empty()) std::printf("no collector service is installed\n");
  return status;
}

int RunAsService(const CollectOptions& options, const std::function<int()>& collect) {
  g_name = Wide(ServiceName(options.port));
  g_started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  StopOnlyOnRequest();
  // The dispatcher keeps its thread until the service has stopped; the collector runs its
  // event loop on the main thread, as it does from the console.
  HANDLE dispatcher = CreateThread(nullptr, 0, Dispatch, nullptr, 0, nullptr);
  HANDLE waits[2] = {g_started, dispatcher};
  WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (!g_handle) {
    WaitForSingleObject(dispatcher, INFINITE);
    DWORD error = 0;
    GetExitCodeThread(dispatcher, &error);
    std::fprintf(stderr,
                 "varnel-collect: --service is for the service manager (%s); install the "
                 "service with --install-service --port %d\n",
                 SystemMessage(error).c_str(), options.port);
    return kExitUsage;
  }
  g_exitCode = collect();
  SetEvent(g_finished);
  if (g_heartbeat) WaitForSingleObject(g_heartbeat, kStopHeartbeatMs);
  WaitForSingleObject(dispatcher, 10000);
  return g_exitCode;
}

}  // namespace varnel::cli
