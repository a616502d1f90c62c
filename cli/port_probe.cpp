#include "cli/port_probe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/port_names.h"

namespace varnel::cli {

std::string PortOpenProblem(int port) {
  const std::string com = "COM" + std::to_string(port);
  const std::string path = ResolveComPort(port);
  if (path.empty()) return com + " has no device";
  const std::string named = com + " (" + path + ")";
  const std::string inUse =
      named + " is in use by another program; a second collector never shares a port";
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // EBUSY: another program holds the line exclusively.
    return errno == EBUSY ? inUse : named + " could not be opened: " + std::strerror(errno);
  }
  // Taking the lock only to learn whether somebody else holds it; let go at once.
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked ? inUse : named + " could not be set up as a serial line";
}

}  // namespace varnel::cli
