#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "json_reader.h"

namespace varnel::testing {

// vtq-sim as a child process on a pseudo-terminal, published as COM `port` in a ports folder
// of its own (this process's $VARNEL_PORTS is pointed there too), with its truth file and
// frame log in a temporary folder that also holds the data folder for the .idc files.
class SimProcess {
 public:
  // Starts vtq-sim with `args` (besides --port, --truth and --frames) and waits for it to
  // report that it is ready. Check Ok() / Error().
  explicit SimProcess(std::vector<std::string> args, int port = 1);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

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
  // The memory image vtq-sim made at its start (--memory-dump is always given).
  std::vector<unsigned char> MemoryAtStart() const;
  // The lines vtq-sim printed so far.
  std::vector<std::string> Output() const;
  // Waits until vtq-sim printed a line containing `text` `count` times.
  bool WaitForOutput(const std::string& text, int count, std::chrono::milliseconds limit) const;

 private:
  void ReadOutput(int fd);

  int port_;
  std::filesystem::path folder_;
  std::string error_;
  pid_t pid_ = -1;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::string partial_;
};

// The path of the vtq-sim program under test.
std::string SimProgram();

}  // namespace varnel::testing
