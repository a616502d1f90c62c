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

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (!g_asked.exchange(true)) {
    QMetaObject::invokeMethod(g_owner.data(), [] { g_stop(); }, Qt::QueuedConnection);
  }
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
  return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

}  // namespace varnel::cli
