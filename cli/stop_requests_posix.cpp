#include "cli/stop_requests.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace varnel::cli {

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 's';
  // write() is safe in a signal handler; a full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

}  // namespace

bool WatchStopRequests(QObject* owner, std::function<void()> stop) {
  if (::pipe(g_signalPipe) != 0) return false;
  for (int fd : g_signalPipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [stop = std::move(stop)] {
    char buf[16];
    while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
    }
    stop();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

}  // namespace varnel::cli
