#include "common/process_identity.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace varnel {

qint64 CurrentProcessId() { return static_cast<qint64>(::getpid()); }

bool ProcessAlive(qint64 pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString BootId() {
  QFile f(QStringLiteral("/proc/sys/kernel/random/boot_id"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(f.readAll()).trimmed();
}

}  // namespace varnel
