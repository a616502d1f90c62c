#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace varnel::simtest {

// A scratch folder that disappears with the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// vtq-sim started as a separate process, with its ports folder set, its output captured.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the program with the given arguments and VARNEL_PORTS=portsDir; true when it
  // printed "ready" within the time limit.
  bool Start(const std::vector<std::string>& args, const std::string& portsDir, int timeoutMs = 5000);
  // Waits until the output holds `text`; true when it did in time.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  // Sends a signal and waits for the exit; returns the exit status, or -1 when it did not end.
  int Stop(int signal, int timeoutMs = 3000);
  // Waits for the program to end by itself; returns the exit status, or -1.
  int WaitExit(int timeoutMs);
  const std::string& output();
  bool running() const { return pid_ > 0; }

 private:
  void Collect(int waitMs);

  pid_t pid_ = -1;
  int outFd_ = -1;
  std::string output_;
};

// The path of the vtq-sim program under test.
std::string SimBinary();

}  // namespace varnel::simtest

#include <memory>

#include "tests/sim/support/line_client.h"

namespace varnel::simtest {

// A running vtq-sim with a scratch folder for its ports and files, and the host's end of
// its COM link open.
struct SimSession {
  TempDir dir;
  SimProcess sim;
  std::unique_ptr<LineClient> line;

  std::string File(const std::string& name) const { return dir / name; }
  // Starts vtq-sim with args and opens COM<port>; true when both worked.
  bool Start(const std::vector<std::string>& args, int port = 1);
};

}  // namespace varnel::simtest
