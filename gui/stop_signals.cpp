#include "gui/stop_signals.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace varnel {

#ifdef Q_OS_UNIX
namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 's';
  // write() is safe in a signal handler; a full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}

}  // namespace

bool WatchStopSignals(QObject* owner, std::function<void()> stop) {
  if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0) return false;
  for (int fd : g_pipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [stop = std::move(stop)] {
    char buf[16];
    while (::read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    stop();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  bool ok = true;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ok = ::sigaction(sig, &sa, nullptr) == 0 && ok;
  return ok;
}
#else
bool WatchStopSignals(QObject*, std::function<void()>) { return false; }
#endif

}  // namespace varnel
