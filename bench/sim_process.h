#pragma once
// vtq-sim as a child process of a benchmark: started with its output on a pipe, ready once
// it says so, stopped with SIGTERM. And the one field reader the benchmarks need for the
// simulator's frame log (one JSON object per line).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace varnel::bench {

struct SimProcess {
  pid_t pid = -1;
  int out = -1;
};

// `args` begins with the program. True once the simulator printed its ready line.
inline bool StartSimProcess(std::vector<std::string> args, SimProcess& sim) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const int rc = ::posix_spawn(&sim.pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return false;
  }
  sim.out = pipeFds[0];
  std::string seen;
  char c;
  while (seen.find("vtq-sim: ready") == std::string::npos && ::read(sim.out, &c, 1) == 1) seen += c;
  return seen.find("vtq-sim: ready") != std::string::npos;
}

inline void StopSimProcess(SimProcess& sim) {
  if (sim.pid > 0) {
    ::kill(sim.pid, SIGTERM);
    ::waitpid(sim.pid, nullptr, 0);
  }
  if (sim.out >= 0) ::close(sim.out);
}

// The value of "key": in one line of the frame log: a number or a quoted text.
inline std::string FrameField(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const auto at = line.find(tag);
  if (at == std::string::npos) return {};
  auto from = at + tag.size();
  if (line[from] == '"') {
    const auto end = line.find('"', from + 1);
    return line.substr(from + 1, end - from - 1);
  }
  const auto end = line.find_first_of(",}", from);
  return line.substr(from, end - from);
}

}  // namespace varnel::bench
