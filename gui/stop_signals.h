#pragma once
#include <QObject>
#include <functional>

namespace varnel {

// Calls `stop` from the event loop when the process gets SIGTERM, SIGINT or SIGHUP (the
// session ends, the service manager stops it, the terminal closes). Once per process; false
// when the signals cannot be watched (and always on Windows, which ends a session through
// the window instead).
bool WatchStopSignals(QObject* owner, std::function<void()> stop);

}  // namespace varnel
