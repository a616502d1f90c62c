#pragma once
#include <csignal>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/json_reader.h"

namespace varnel::testsupport {

// The path of the vtq-sim program under test.
std::string SimProgram();

// A scratch folder that disappears with the test (kept when VARNEL_KEEP_TEST_FILES is set).
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "varnel-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// vtq-sim as a child process, its COM links published in a ports folder (VARNEL_PORTS of
// the child), its output captured. Ended with the object.
class SimProcess {
 public:
  SimProcess() = default;
  // `program`: another build of vtq-sim than the one under test.
  explicit SimProcess(std::string program) : program_(std::move(program)) {}
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts vtq-sim with `args` and waits until it reports that it is ready; false when it
  // did not within timeoutMs (or could not be started, or ended).
  bool Start(const std::vector<std::string>& args, const std::string& portsFolder,
             int timeoutMs = 10000);
  // Waits until the output holds `text`; true when it did in time.
  bool WaitForOutput(const std::string& text, int timeoutMs) {
    return process_.WaitForOutput(text, timeoutMs);
  }
  // Sends `signal` (SIGTERM and SIGINT make vtq-sim remove its links and write its truth
  // file) and waits for the end, with SIGKILL after timeoutMs; returns the exit status, or
  // 128 + the signal that ended it.
  int Stop(int signal = SIGTERM, int timeoutMs = 5000) { return process_.Stop(signal, timeoutMs); }
  // Waits for vtq-sim to end by itself; the exit status, or -1 when still running.
  int WaitExit(int timeoutMs) { return process_.Wait(timeoutMs); }
  bool Running() { return process_.Running(); }
  // What vtq-sim printed so far.
  std::string Output() const { return process_.Output(); }
  const std::string& Error() const { return process_.Error(); }

 private:
  std::string program_ = SimProgram();
  ChildProcess process_;
};

// The frame log vtq-sim writes with --frames: one object per request frame, in order.
std::vector<Json> ReadFrameLog(const std::filesystem::path& file);

// vtq-sim in a temporary folder of its own: COM `port` in its ports folder (this process's
// VARNEL_PORTS is pointed there too), its truth file, frame log and start memory image, and
// a data folder for the .idc files. Started by the constructor: check Ok() / Error().
class SimSandbox {
 public:
  // Starts vtq-sim with `args` besides --port, --truth, --frames and --memory-dump, and
  // with --echo unless `args` hold --modem, as the collector's line is configured.
  explicit SimSandbox(std::vector<std::string> args, int port = 1, int startLimitMs = 20000);
  ~SimSandbox();
  SimSandbox(const SimSandbox&) = delete;
  SimSandbox& operator=(const SimSandbox&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  int Port() const { return port_; }

  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path DataFolder() const { return folder_ / "data"; }

  // Ends the simulator (it writes its truth file on the way out).
  void Stop();

  // The truth file as it stands (written at start, after each call and at exit).
  Json Truth() const;
  // The frame log: one object per request frame, in order.
  std::vector<Json> Frames() const;
  // The memory image vtq-sim made at its start.
  std::vector<unsigned char> MemoryAtStart() const;
  SimProcess& Process() { return sim_; }

 private:
  int port_;
  TempDir dir_;
  std::filesystem::path folder_;
  std::string error_;
  SimProcess sim_;
};

}  // namespace varnel::testsupport
