// The holder of a port on POSIX systems. Every opener of ours takes an advisory lock on the
// device (serial_port_posix.cpp), so on Linux the lock table names the process that holds
// it, for a program of any user; no file of our own is needed, and none is left behind by a
// program that was killed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "link/port_names.h"
#include "link/port_owner.h"

namespace varnel {

namespace {

// The process holding an flock on the file (device, inode) in /proc/locks; 0 when none is
// listed. A line reads "1: FLOCK  ADVISORY  WRITE 812 00:1a:5 0 EOF", the device as hex
// major:minor; a waiter's line has "->" before the type and is skipped.
std::int64_t FlockHolder(dev_t device, ino_t inode) {
  std::ifstream table("/proc/locks");
  for (std::string line; std::getline(table, line);) {
    std::istringstream words(line);
    std::string number, type, mode, access, where;
    std::int64_t pid = 0;
    if (!(words >> number >> type) || type != "FLOCK") continue;
    if (!(words >> mode >> access >> pid >> where) || pid <= 0) continue;
    unsigned high = 0, low = 0;
    unsigned long long node = 0;
    char c1 = 0, c2 = 0;
    std::istringstream at(where);
    if (!(at >> std::hex >> high >> c1 >> low >> c2 >> std::dec >> node) || c1 != ':' ||
        c2 != ':') {
      continue;
    }
    if (high == major(device) && low == minor(device) && node == inode) return pid;
  }
  return 0;
}

// The short name the system keeps for a process (readable for another user's process too).
std::string ProgramOf(std::int64_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

std::optional<PortOwner> FindPortHolder(int portNumber) {
  const std::string path = ResolveComPort(portNumber);
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (const std::int64_t pid = FlockHolder(st.st_dev, st.st_ino)) {
    return PortOwner{pid, ProgramOf(pid)};
  }
  // Not in the table (no /proc, or a program that holds the line exclusively without the
  // lock): the device itself says whether it is taken, though not by whom.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EBUSY) return PortOwner{};
    return std::nullopt;
  }
  // Taking the lock only to learn whether somebody else holds it; let go at once.
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  if (locked) return PortOwner{};
  return std::nullopt;
}

}  // namespace varnel
