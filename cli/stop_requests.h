#pragma once
#include <QObject>
#include <functional>

namespace varnel::cli {

// Calls `stop` once from the event loop of `owner` when the process is asked to end: SIGINT
// or SIGTERM on POSIX; Ctrl-C, Ctrl-Break, a closed console, the user logging off or the
// system shutting down on Windows. False when the requests cannot be watched.
bool WatchStopRequests(QObject* owner, std::function<void()> stop);

}  // namespace varnel::cli
