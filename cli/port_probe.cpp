#include "cli/port_probe.h"

#include <fcntl.h>
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
  if (const auto holder = FindPortHolder(port)) return InUseProblem(named, *holder);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return named + " could not be opened: " + std::strerror(errno);
  ::close(fd);
  return named + " could not be set up as a serial line";
}

}  // namespace varnel::cli
