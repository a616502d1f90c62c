#include "app/detached_process.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/close_range.h>
#include <sys/syscall.h>
#endif

namespace varnel {

namespace {

// In the child between fork and exec only async-signal-safe calls are allowed.
void CloseOnExecAllFrom(int first) {
#if defined(__linux__) && defined(SYS_close_range) && defined(CLOSE_RANGE_CLOEXEC)
  if (::syscall(SYS_close_range, first, ~0u, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
  struct rlimit lim {};
  const int limit = ::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < 65536
                        ? static_cast<int>(lim.rlim_cur)
                        : 65536;
  for (int fd = first; fd < limit; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void WriteErrno(int fd) {
  const int e = errno;
  [[maybe_unused]] const ssize_t n = ::write(fd, &e, sizeof e);
}

}  // namespace

bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments) {
  if (program.empty()) return false;
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> all;
  all.reserve(arguments.size() + 1);
  all.push_back(program);
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : all) argv.push_back(s.data());
  argv.push_back(nullptr);
  const bool searchPath = program.find('/') == std::string::npos;

  // The grandchild reports a failed exec through this pipe; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
      WriteErrno(report[1]);
      ::_exit(1);
    }
    if (grandchild > 0) ::_exit(0);  // the module is nobody's child of ours
    // The module gets none of the collector's standard streams: what it prints must not
    // mix into the collector's output or log, nor keep a pipe of the collector's caller open.
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      for (int fd = 0; fd <= 2; ++fd) ::dup2(devNull, fd);
      if (devNull > 2) ::close(devNull);
    }
    CloseOnExecAllFrom(3);
    if (searchPath) {
      ::execvp(argv[0], argv.data());
    } else {
      ::execv(argv[0], argv.data());
    }
    WriteErrno(report[1]);
    ::_exit(127);
  }

  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace varnel
