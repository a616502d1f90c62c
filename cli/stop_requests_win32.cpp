#include "cli/stop_requests.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <windows.h>

namespace varnel::cli {

namespace {

QPointer<QObject> g_owner;
std::function<void()> g_stop;
std::atomic<bool> g_asked{false};
std::atomic<bool> g_watching{false};
bool g_onlyOnRequest = false;

void AskOnce() {
  if (!g_asked.exchange(true) && g_watching) {
    QMetaObject::invokeMethod(g_owner.data(), [] { g_stop(); }, Qt::QueuedConnection);
  }
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  AskOnce();
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // For a closed console, a log-off or a shutdown the process ends when this handler
  // returns: give the stop its time (the system allows about five seconds). The process
  // normally leaves main() before that.
  Sleep(4500);
  return TRUE;
}

}  // namespace

bool WatchStopRequests(QObject* owner, std::function<void()> stop) {
  g_owner = owner;
  g_stop = std::move(stop);
  g_watching = true;
  if (g_asked) QMetaObject::invokeMethod(g_owner.data(), [] { g_stop(); }, Qt::QueuedConnection);
  return g_onlyOnRequest || SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

void StopOnlyOnRequest() { g_onlyOnRequest = true; }

void RequestStop() { AskOnce(); }

}  // namespace varnel::cli
