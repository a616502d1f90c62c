#pragma once
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace varnel::test {

// A program run as a child process with plain fork and exec, its standard output and error
// going to a file. (The thread checker follows fork and exec, not the spawning tricks of
// bigger process classes, so the in-process chain tests stay checkable.)
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts `program` with `args`; `env` entries are added to (or replace those of) this
  // process's environment.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env,
             const std::string& outputFile);
  bool Running();
  // Waits for the end: the exit status, 128 + signal, or -1 when still running after
  // timeoutMs.
  int Wait(int timeoutMs);
  // SIGTERM, then the end (SIGKILL after timeoutMs).
  int Terminate(int timeoutMs = 5000);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Everything in a file (empty when it cannot be read).
std::string ReadWholeText(const std::string& path);

}  // namespace varnel::test
