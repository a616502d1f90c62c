#include "child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace varnel::test {

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && Running()) Terminate(2000);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& outputFile) {
  std::vector<std::string> argStore{program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : env) replaced = replaced || entry.rfind(name + "=", 0) == 0;
    if (!replaced) envStore.push_back(entry);
  }
  for (const auto& [name, value] : env) envStore.push_back(name + "=" + value);
  std::vector<char*> argv, envp;
  for (auto& s : argStore) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (auto& s : envStore) envp.push_back(s.data());
  envp.push_back(nullptr);

  const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(out);
    return false;
  }
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) ::dup2(in, 0);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out);
  pid_ = pid;
  status_ = -1;
  return true;
}

bool ChildProcess::Running() { return pid_ > 0 && Wait(0) == -1; }

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return status_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int st = 0;
    const pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      return status_;
    }
    if (r < 0 && errno != EINTR) {
      pid_ = -1;
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ChildProcess::Terminate(int timeoutMs) {
  if (pid_ <= 0) return status_;
  ::kill(pid_, SIGTERM);
  const int st = Wait(timeoutMs);
  if (st != -1) return st;
  ::kill(pid_, SIGKILL);
  return Wait(5000);
}

std::string ReadWholeText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace varnel::test
