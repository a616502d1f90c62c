#pragma once
#include <QObject>
#include <functional>

namespace varnel::cli {

// Calls `stop` once from the event loop of `owner` when the process is asked to end: SIGINT
// or SIGTERM on POSIX; Ctrl-C, Ctrl-Break, a closed console, the user logging off or the
// system shutting down on Windows. False when the requests cannot be watched.
bool WatchStopRequests(QObject* owner, std::function<void()> stop);

#ifdef _WIN32
// For a run under the service manager: the stop comes only through RequestStop, and the
// console's events are left to the manager's own handling (a service is sent one for every
// user who logs off, which must not stop it).
void StopOnlyOnRequest();
// Asks for the stop from any thread; one asked before WatchStopRequests is kept until then.
void RequestStop();
#endif

}  // namespace varnel::cli
