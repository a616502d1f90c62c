#pragma once
#include <sys/types.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace varnel::testsupport {

// A program run as a child process with plain fork and exec, its standard input from
// /dev/null and its standard output and error captured by a thread of this process. (The
// thread checker follows fork and exec, not the spawning tricks of bigger process classes,
// so the in-process chain tests stay checkable.) The child is ended with the object.
class ChildProcess {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;

  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // SIGTERM, then SIGKILL when it has not ended within two seconds.
  ~ChildProcess();

  // Starts `program` with `args`; `env` entries are added to (or replace those of) this
  // process's environment. False when it cannot be started (then Error() says why).
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const Environment& env = {});
  bool Running();
  // Waits for the end: the exit status, 128 + signal, or -1 when still running after
  // timeoutMs. Once it ended, all its output is in Output().
  int Wait(int timeoutMs);
  // Sends `signal` and waits for the end, with SIGKILL after timeoutMs; the exit status as
  // Wait() gives it.
  int Stop(int signal, int timeoutMs);

  // What the program printed so far.
  std::string Output() const;
  // Waits until the output holds `text`; false when it did not in time or the program ended
  // without printing it.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  const std::string& Error() const { return error_; }
  // The child's process id (-1 before Start).
  pid_t Pid() const { return pid_; }

 private:
  void ReadOutput(int fd);
  void JoinReader();

  pid_t pid_ = -1;
  int status_ = -1;
  std::string error_;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::string output_;
};

}  // namespace varnel::testsupport
