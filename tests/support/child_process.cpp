#include "tests/support/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

extern char** environ;

namespace varnel::testsupport {

ChildProcess::~ChildProcess() {
  if (pid_ > 0) Stop(SIGTERM, 2000);
  JoinReader();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const Environment& env) {
  if (pid_ > 0) Stop(SIGTERM, 2000);
  JoinReader();
  // Everything the child needs is made before the fork: after it, only exec-safe calls.
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

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error_ = std::string("pipe failed: ") + std::strerror(errno);
    return false;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    error_ = std::string("fork failed: ") + std::strerror(errno);
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) ::dup2(in, 0);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  pid_ = pid;
  status_ = -1;
  error_.clear();
  {
    std::lock_guard lock(mutex_);
    output_.clear();
  }
  reader_ = std::thread([this, fd = out[0]] { ReadOutput(fd); });
  return true;
}

void ChildProcess::ReadOutput(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::lock_guard lock(mutex_);
    output_.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
}

void ChildProcess::JoinReader() {
  if (reader_.joinable()) reader_.join();
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
      JoinReader();  // the pipe ends with the program: its output is complete
      return status_;
    }
    if (r < 0 && errno != EINTR) {
      pid_ = -1;
      JoinReader();
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int ChildProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return status_;
  ::kill(pid_, signal);
  const int st = Wait(timeoutMs);
  if (st != -1) return st;
  ::kill(pid_, SIGKILL);
  return Wait(5000);
}

std::string ChildProcess::Output() const {
  std::lock_guard lock(mutex_);
  return output_;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (Output().find(text) != std::string::npos) return true;
    if (!Running()) return Output().find(text) != std::string::npos;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace varnel::testsupport
